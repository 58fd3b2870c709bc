// Drives the real lunteva.exe from outside, as a user would see it:
//
//   EndToEndDriver.exe --program=lunteva.exe --expect=ANSWERS.txt --contact=DIGITS
//                      [--requested=FILE --release=FILE] [--screenshot=FILE.bmp]
//
// ANSWERS.txt holds, in UTF-8, exactly the text answerBox must show (empty
// when the download is to fail). With --requested and --release the server
// holds its answer back: it creates the first file when the request has come
// and answers once the second exists, which this driver creates after it has
// seen that nothing of the program is on the screen.
//
// Another process cannot read fonts or the colours the window answers to its
// edit box (under Wine WM_GETFONT then answers 0): those are checked inside a
// test program that creates the window itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Win32Checks.h"

namespace {

using namespace lunteva;

struct Options {
    std::wstring program, expectFile, contact, requestedFile, releaseFile, screenshotFile;
};
Options options;

// The window class and control identifiers of the program under test.
constexpr wchar_t MAIN_CLASS[] = L"LuntevaMainWindow";
constexpr int COPY_CONTACT_BUTTON_ID = 101;
constexpr int CONTACT_LABEL_ID = 102;
constexpr int FEEDBACK_BUTTON_ID = 103;
constexpr int ANSWER_BOX_ID = 104;

// How long anything may take before the driver gives up on it: a bound for
// hangs, not a measure of speed. Messages go with SMTO_NORMAL: a program
// that pumped no message for 5 s (a long download) counts as hung until it
// pumps again, and SMTO_ABORTIFHUNG would give up at once.
constexpr DWORD PATIENCE_MS = 60000;
constexpr DWORD POLL_MS = 50;

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Text of a window of another process; WM_GETTEXT is marshalled across.
std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, PATIENCE_MS, &length)) return L"<hung>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                        PATIENCE_MS, &copied);
    text.resize(copied);
    return text;
}

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> visible;
    HWND main = nullptr;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
    auto& found = *reinterpret_cast<ProcessWindows*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != found.processId) return TRUE;
    if (IsWindowVisible(window)) found.visible.push_back(window);
    if (classOf(window) == MAIN_CLASS) found.main = window;
    return TRUE;
}

ProcessWindows windowsOf(DWORD processId) {
    ProcessWindows found{processId, {}, nullptr};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The program under test, with what the driver saw of its start.
struct Run {
    PROCESS_INFORMATION process{};
    bool started = false;
    bool requestSeen = false;
    int visibleWhileHeld = 0;  // polls that saw a window of the program before the release
    HWND main = nullptr;
    std::optional<DWORD> exitCode;
};
Run run;

// The given part of the screen as a 24-bit BMP file.
bool saveScreenBitmap(const RECT& area, const std::wstring& path) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    GdiFlush();
    const DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageBytes;
    bool written = false;
    if (copied) {
        std::ofstream out(path.c_str(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
        out.write(static_cast<const char*>(bits), imageBytes);
        written = out.good();
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

// Waits until the program has dealt with everything sent to it so far.
void settle(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, PATIENCE_MS, &ignored);
    WaitForInputIdle(run.process.hProcess, PATIENCE_MS);
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + options.program + L"\"";
        run.started = CreateProcessW(options.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &run.process) != FALSE;
        if (!run.started) return;

        if (!options.requestedFile.empty()) {
            // Until the request has come and while the server holds it, the
            // program must show nothing.
            for (DWORD waited = 0; waited < PATIENCE_MS && !fileExists(options.requestedFile); waited += POLL_MS) {
                if (!windowsOf(run.process.dwProcessId).visible.empty()) ++run.visibleWhileHeld;
                Sleep(POLL_MS);
            }
            run.requestSeen = fileExists(options.requestedFile);
            for (int look = 0; look < 20; ++look) {
                if (!windowsOf(run.process.dwProcessId).visible.empty()) ++run.visibleWhileHeld;
                Sleep(POLL_MS);
            }
            std::ofstream(options.releaseFile.c_str()) << "go\n";
        }
        for (DWORD waited = 0; waited < PATIENCE_MS; waited += POLL_MS) {
            const ProcessWindows found = windowsOf(run.process.dwProcessId);
            if (found.main != nullptr && IsWindowVisible(found.main)) {
                run.main = found.main;
                break;
            }
            if (WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0) break;
            Sleep(POLL_MS);
        }
    }

    static void TearDownTestSuite() {
        if (!run.started) return;
        if (WaitForSingleObject(run.process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(run.process.hProcess, 99);
        CloseHandle(run.process.hThread);
        CloseHandle(run.process.hProcess);
    }

    void SetUp() override {
        ASSERT_TRUE(run.started) << "could not start " << toUtf8(options.program);
        ASSERT_NE(run.main, nullptr) << "the window never appeared";
    }

    HWND control(int id) const { return GetDlgItem(run.main, id); }
};

// The file itself, read as data: GUI subsystem, manifest, icon, version information.
TEST(ProgramFile, IsAGuiProgramWithManifestIconAndVersionInformation) {
    const HMODULE file = LoadLibraryExW(options.program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr);
    const auto* image = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(file) & ~ULONG_PTR{3});
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    const HRSRC manifest = FindResourceW(file, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(file, manifest))),
                           SizeofResource(file, manifest));
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos)
        << text;
    EXPECT_NE(FindResourceW(file, L"DEFAULT_ICON", MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON
    FreeLibrary(file);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(options.program.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(options.program.c_str(), 0, size, info.data()));
    const auto value = [&](const wchar_t* name) {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), path.c_str(), &text, &length) || length == 0) return std::wstring();
        return std::wstring(static_cast<const wchar_t*>(text));
    };
    EXPECT_EQ(value(L"ProductName"), L"Lunteva");
    EXPECT_EQ(value(L"OriginalFilename"), L"lunteva.exe");
    EXPECT_FALSE(value(L"FileDescription").empty());
    EXPECT_FALSE(value(L"FileVersion").empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(EndToEnd, NothingIsVisibleUntilTheDownloadHasEnded) {
    ASSERT_FALSE(options.requestedFile.empty()) << "needs a server that holds its answer back";
    EXPECT_TRUE(run.requestSeen) << "the program never asked for the page";
    EXPECT_EQ(run.visibleWhileHeld, 0);
}

TEST_F(EndToEnd, WindowOpensWithTheAnswersAlreadyInItAndTheContactHidden) {
    // Read at once: the lines were appended before the window was shown.
    std::ifstream in(options.expectFile.c_str(), std::ios::binary);
    ASSERT_TRUE(in.good()) << "no file " << toUtf8(options.expectFile);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(toUtf8(textOf(control(ANSWER_BOX_ID))), expected);

    EXPECT_TRUE(IsWindowVisible(control(ANSWER_BOX_ID)));
    EXPECT_TRUE(IsWindowVisible(control(FEEDBACK_BUTTON_ID)));
    EXPECT_FALSE(IsWindowVisible(control(COPY_CONTACT_BUTTON_ID)));
    EXPECT_EQ(textOf(control(CONTACT_LABEL_ID)), L"");
    EXPECT_EQ(textOf(run.main), L"Lunteva");
    EXPECT_FALSE(IsIconic(run.main));
    EXPECT_FALSE(IsZoomed(run.main));
    EXPECT_EQ(GetForegroundWindow(), run.main);

    if (!options.screenshotFile.empty()) {
        settle(run.main);
        RECT outer{};
        GetWindowRect(run.main, &outer);
        EXPECT_TRUE(saveScreenBitmap(outer, options.screenshotFile));
    }
}

TEST_F(EndToEnd, WindowIsCentredAtItsOuterSizeWithAFixedFrame) {
    expectCentredFixedFrame(run.main);
}

struct Placement {
    const char* name;
    int id;
    const wchar_t* windowClass;
    int left, top, width, height;
    bool enabled, tabStop;
};

TEST_F(EndToEnd, ControlsStandAsLaidOut) {
    const Placement placements[] = {
        {"copyContactButton", COPY_CONTACT_BUTTON_ID, L"Button", 456, 220, 72, 32, true, true},
        {"contactLabel", CONTACT_LABEL_ID, L"Static", 272, 224, 176, 24, false, false},
        {"feedbackButton", FEEDBACK_BUTTON_ID, L"Button", 193, 220, 72, 32, true, true},
        {"answerBox", ANSWER_BOX_ID, L"Edit", 8, 8, 512, 208, true, true},
    };
    // Creation order is the order of the siblings.
    HWND sibling = GetWindow(run.main, GW_CHILD);
    for (const Placement& p : placements) {
        SCOPED_TRACE(p.name);
        const HWND c = control(p.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(sibling, c);
        sibling = GetWindow(sibling, GW_HWNDNEXT);
        EXPECT_EQ(_wcsicmp(classOf(c).c_str(), p.windowClass), 0);
        RECT rect{};
        GetWindowRect(c, &rect);
        MapWindowPoints(HWND_DESKTOP, run.main, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, p.left);
        EXPECT_EQ(rect.top, p.top);
        EXPECT_EQ(rect.right - rect.left, p.width);
        EXPECT_EQ(rect.bottom - rect.top, p.height);
        EXPECT_EQ(IsWindowEnabled(c) != FALSE, p.enabled);
        EXPECT_EQ((styleOf(c) & WS_TABSTOP) != 0, p.tabStop);
    }
    for (const int id : {COPY_CONTACT_BUTTON_ID, FEEDBACK_BUTTON_ID}) {
        const LONG_PTR style = styleOf(control(id));
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
        EXPECT_EQ(style & (BS_CENTER | BS_VCENTER), BS_CENTER | BS_VCENTER);
        EXPECT_TRUE(style & BS_MULTILINE);
    }
    const LONG_PTR label = styleOf(control(CONTACT_LABEL_ID));
    EXPECT_TRUE(label & SS_NOPREFIX);
    EXPECT_FALSE(label & (WS_BORDER | SS_SUNKEN));
    const LONG_PTR box = styleOf(control(ANSWER_BOX_ID));
    EXPECT_EQ(box & (ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL), ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL);
    EXPECT_FALSE(box & (ES_AUTOHSCROLL | ES_NOHIDESEL | WS_VSCROLL | WS_HSCROLL | ES_CENTER | ES_RIGHT));
}

TEST_F(EndToEnd, FeedbackClickShowsTheContactLineAndTheCopyButton) {
    const std::wstring expected = L"请加QQ" + options.contact;
    for (int click = 1; click <= 2; ++click) {
        SCOPED_TRACE(click);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(control(FEEDBACK_BUTTON_ID), BM_CLICK, 0, 0, SMTO_NORMAL, PATIENCE_MS, &ignored);
        settle(run.main);
        EXPECT_EQ(textOf(control(CONTACT_LABEL_ID)), expected);
        EXPECT_TRUE(IsWindowVisible(control(CONTACT_LABEL_ID)));
        EXPECT_TRUE(IsWindowVisible(control(COPY_CONTACT_BUTTON_ID)));
    }
}

// The confirmation box of the program, once it is open.
HWND waitForConfirmationBox() {
    for (DWORD waited = 0; waited < PATIENCE_MS; waited += POLL_MS) {
        const HWND box = FindWindowW(L"#32770", L"复制成功");
        DWORD owner = 0;
        if (box != nullptr) GetWindowThreadProcessId(box, &owner);
        if (box != nullptr && owner == run.process.dwProcessId && IsWindowVisible(box)) return box;
        Sleep(POLL_MS);
    }
    return nullptr;
}

struct BoxContents {
    std::wstring text;
    int buttons = 0;
    int icons = 0;
    HWND ok = nullptr;
};

BOOL CALLBACK readBoxChild(HWND child, LPARAM context) {
    auto& contents = *reinterpret_cast<BoxContents*>(context);
    const std::wstring name = classOf(child);
    if (!IsWindowVisible(child)) return TRUE;
    if (_wcsicmp(name.c_str(), L"Button") == 0) {
        ++contents.buttons;
        if (GetDlgCtrlID(child) == IDOK) contents.ok = child;
    } else if (_wcsicmp(name.c_str(), L"Static") == 0) {
        if ((styleOf(child) & SS_TYPEMASK) == SS_ICON) {
            // The box keeps its icon control; only one that holds an icon shows one.
            DWORD_PTR icon = 0;
            SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_NORMAL, PATIENCE_MS, &icon);
            if (icon != 0) ++contents.icons;
        } else if (!textOf(child).empty()) {
            contents.text = textOf(child);
        }
    }
    return TRUE;
}

TEST_F(EndToEnd, CopyClickLeavesTheNumberOnTheClipboardAndConfirmsIt) {
    if (!IsWindowVisible(control(COPY_CONTACT_BUTTON_ID))) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(control(FEEDBACK_BUTTON_ID), BM_CLICK, 0, 0, SMTO_NORMAL, PATIENCE_MS, &ignored);
    }
    for (int click = 1; click <= 2; ++click) {
        SCOPED_TRACE(click);
        // Something else first, so that the check sees this click's write.
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        // Posted: the click returns only when the box has been closed.
        PostMessageW(control(COPY_CONTACT_BUTTON_ID), BM_CLICK, 0, 0);
        const HWND box = waitForConfirmationBox();
        ASSERT_NE(box, nullptr) << "no box titled 复制成功";
        BoxContents contents;
        EnumChildWindows(box, readBoxChild, reinterpret_cast<LPARAM>(&contents));
        EXPECT_EQ(toUtf8(contents.text), toUtf8(L"复制QQ成功，请添加"));
        EXPECT_EQ(contents.buttons, 1);
        EXPECT_EQ(contents.icons, 0);
        EXPECT_EQ(GetWindow(box, GW_OWNER), run.main);
        EXPECT_FALSE(IsWindowEnabled(run.main));  // no input while the box is open

        EXPECT_EQ(clipboardUnicode(), std::optional<std::wstring>(options.contact));
        EXPECT_EQ(clipboardAnsi(), std::optional<std::string>(toUtf8(options.contact)));

        if (click == 1 && !options.screenshotFile.empty()) {
            settle(box);
            RECT outer{};
            GetWindowRect(run.main, &outer);
            RECT boxRect{};
            GetWindowRect(box, &boxRect);
            UnionRect(&outer, &outer, &boxRect);
            const std::wstring path = options.screenshotFile.substr(0, options.screenshotFile.size() - 4) + L"-copied.bmp";
            EXPECT_TRUE(saveScreenBitmap(outer, path));
        }

        ASSERT_NE(contents.ok, nullptr);
        PostMessageW(contents.ok, BM_CLICK, 0, 0);
        for (DWORD waited = 0; waited < PATIENCE_MS && IsWindow(box); waited += POLL_MS) Sleep(POLL_MS);
        EXPECT_FALSE(IsWindow(box));
        settle(run.main);
        EXPECT_TRUE(IsWindowEnabled(run.main));
    }
}

TEST_F(EndToEnd, ClosingTheWindowEndsTheProgramWithExitCodeZero) {
    PostMessageW(run.main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(run.process.hProcess, PATIENCE_MS), WAIT_OBJECT_0);
    DWORD code = 1234;
    GetExitCodeProcess(run.process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsWindow(run.main));
}

bool takeOption(const std::wstring& argument, const wchar_t* name, std::wstring& value) {
    const std::wstring prefix = std::wstring(L"--") + name + L"=";
    if (argument.rfind(prefix, 0) != 0) return false;
    value = argument.substr(prefix.size());
    return true;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> rest;
    for (int i = 0; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (takeOption(argument, L"program", options.program) || takeOption(argument, L"expect", options.expectFile) ||
            takeOption(argument, L"contact", options.contact) ||
            takeOption(argument, L"requested", options.requestedFile) ||
            takeOption(argument, L"release", options.releaseFile) ||
            takeOption(argument, L"screenshot", options.screenshotFile))
            continue;
        rest.push_back(argument);
    }
    LocalFree(argv);
    if (options.program.empty() || options.expectFile.empty() || options.contact.empty()) {
        std::fprintf(stderr, "usage: EndToEndDriver --program=EXE --expect=FILE --contact=DIGITS [...]\n");
        return 2;
    }
    std::vector<std::string> narrow;
    for (const std::wstring& argument : rest) narrow.push_back(toUtf8(argument));
    std::vector<char*> pointers;
    for (std::string& argument : narrow) pointers.push_back(argument.data());
    int count = static_cast<int>(pointers.size());
    ::testing::InitGoogleTest(&count, pointers.data());
    return RUN_ALL_TESTS();
}
