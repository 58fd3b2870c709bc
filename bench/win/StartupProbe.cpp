// Measures how long a Windows program takes from its start to its first
// visible top-level window:  StartupProbe.exe PROGRAM.exe [BOX_ID]
//
// Prints the milliseconds on standard output. With BOX_ID it also prints the
// length of the text in the window's child control of that identifier, read
// as soon as the window is visible (the program fills it before showing).
// Then it closes the window and waits for the program to end. Exit code 0
// when a window appeared.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK visibleWindowOf(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: StartupProbe PROGRAM.exe [BOX_ID]\n");
        return 2;
    }
    const int boxId = argc > 2 ? _wtoi(argv[2]) : 0;
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start the program\n");
        return 1;
    }
    Search search{process.dwProcessId, nullptr};
    for (int polls = 0; polls < 60000 && search.found == nullptr; ++polls) {
        EnumWindows(visibleWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
            Sleep(1);
        }
    }
    QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    int status = 1;
    if (search.found != nullptr) {
        status = 0;
        DWORD_PTR length = 0;
        if (boxId != 0) {
            HWND box = GetDlgItem(search.found, boxId);
            if (box == nullptr || !SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
                status = 1;
            std::printf("%.1f %lu\n", ms, static_cast<unsigned long>(length));
        } else {
            std::printf("%.1f\n", ms);
        }
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}
