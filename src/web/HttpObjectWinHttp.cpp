// HTTP object backend over the platform's COM object.
//
// Implements, for Windows:
// - createHttpObject: CLSIDFromProgID + CoCreateInstance of the ProgID,
//   driven late bound through IDispatch (GetIDsOfNames + Invoke) by the
//   object's own method and property names;
// - coInitialize / coUninitialize: CoInitialize(nullptr) and CoUninitialize.
//
// Texts cross the boundary as UTF-16, converted from and to code page 936
// explicitly (never through the ANSI code page). A failed call (an HRESULT
// below zero, a result of the wrong type) yields the empty result.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "text/CodePage.h"
#include "web/HttpObject.h"

namespace lunteva {
namespace {

// An owned COM interface pointer: released once, at the end of its life.
template <class Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }

    Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }
    // For out-parameters: releases what is held, then lends the slot.
    Interface** put() noexcept {
        reset();
        return &pointer_;
    }
    void reset() noexcept {
        if (pointer_) std::exchange(pointer_, nullptr)->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// An owned VARIANT, cleared (with whatever BSTR or SAFEARRAY it holds) at the
// end of its life.
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    static Variant ofInt(int number) noexcept {
        Variant v;
        v.value_.vt = VT_I4;
        v.value_.lVal = number;
        return v;
    }
    static Variant ofBool(bool flag) noexcept {
        Variant v;
        v.value_.vt = VT_BOOL;
        v.value_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    // The text as a BSTR; VT_EMPTY when the string cannot be allocated.
    static Variant ofText(const TextValue& text) noexcept;
    // The bytes as a one-dimensional SAFEARRAY of VT_UI1; VT_EMPTY on failure.
    static Variant ofBytes(const ByteString& bytes) noexcept;

    VARIANT* get() noexcept { return &value_; }
    const VARIANT& value() const noexcept { return value_; }

    // Converts in place; false (and the value left cleared or unchanged) on failure.
    bool changeType(VARTYPE type) noexcept {
        return value_.vt == type || SUCCEEDED(VariantChangeType(&value_, &value_, 0, type));
    }

    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

private:
    VARIANT value_;
};

// The wide form of a 936 text, as a fresh BSTR (null for the empty text when
// allocation fails, which the callers treat as a failed argument).
BSTR allocWide(const TextValue& text) noexcept {
    const int units = multiByteToWideChar(CP_GBK, text.c_str(), nullptr, 0);
    if (units <= 0) return SysAllocString(L"");
    // SysAllocStringLen reserves one unit more than its length, for the terminator.
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(units - 1));
    if (!wide) return nullptr;
    if (multiByteToWideChar(CP_GBK, text.c_str(), reinterpret_cast<char16_t*>(wide), units) <= 0) wide[0] = L'\0';
    return wide;
}

// The 936 form of a wide text, up to its first zero unit.
TextValue fromWide(const wchar_t* wide) {
    if (!wide || !*wide) return {};
    const auto* units = reinterpret_cast<const char16_t*>(wide);
    const int bytes = wideCharToMultiByte(CP_GBK, units, nullptr, 0);
    if (bytes <= 0) return {};
    std::string buffer(static_cast<std::size_t>(bytes), '\0');
    if (wideCharToMultiByte(CP_GBK, units, buffer.data(), bytes) <= 0) return {};
    return TextValue(buffer);  // stops at the terminator the conversion wrote
}

Variant Variant::ofText(const TextValue& text) noexcept {
    Variant v;
    if (BSTR wide = allocWide(text)) {
        v.value_.vt = VT_BSTR;
        v.value_.bstrVal = wide;
    }
    return v;
}

Variant Variant::ofBytes(const ByteString& bytes) noexcept {
    Variant v;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.length()));
    if (!array) return v;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        return v;
    }
    if (bytes.length() > 0) std::memcpy(data, bytes.data(), static_cast<std::size_t>(bytes.length()));
    SafeArrayUnaccessData(array);
    v.value_.vt = VT_ARRAY | VT_UI1;
    v.value_.parray = array;
    return v;
}

// The bytes of a VT_ARRAY | VT_UI1 value of one dimension; empty otherwise.
ByteString bytesOf(const VARIANT& value) {
    if (value.vt != (VT_ARRAY | VT_UI1) || !value.parray || SafeArrayGetDim(value.parray) != 1) return {};
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(value.parray, 1, &lower)) || FAILED(SafeArrayGetUBound(value.parray, 1, &upper)))
        return {};
    if (upper < lower) return {};
    const auto count = static_cast<std::size_t>(upper - lower) + 1;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(value.parray, &data))) return {};
    std::string bytes(static_cast<const char*>(data), count);
    SafeArrayUnaccessData(value.parray);
    return ByteString(std::move(bytes));
}

// The HTTP object of a COM automation server, driven by name.
class WinHttpObject final : public HttpObject {
public:
    explicit WinHttpObject(ComPtr<IDispatch> dispatch) noexcept : dispatch_(std::move(dispatch)) {}

    void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        call(L"SetTimeouts", DISPATCH_METHOD,
             {Variant::ofInt(resolveMs), Variant::ofInt(connectMs), Variant::ofInt(sendMs), Variant::ofInt(receiveMs)});
    }
    void SetProxy(int setting, const TextValue& server) override {
        call(L"SetProxy", DISPATCH_METHOD, {Variant::ofInt(setting), Variant::ofText(server)});
    }
    void Open(const TextValue& verb, const TextValue& url, bool async) override {
        call(L"Open", DISPATCH_METHOD, {Variant::ofText(verb), Variant::ofText(url), Variant::ofBool(async)});
    }
    void Option(int index, int value) override {
        call(L"Option", DISPATCH_PROPERTYPUT, {Variant::ofInt(index), Variant::ofInt(value)});
    }
    void SetCredentials(const TextValue& user, const TextValue& password, int target) override {
        call(L"SetCredentials", DISPATCH_METHOD,
             {Variant::ofText(user), Variant::ofText(password), Variant::ofInt(target)});
    }
    void SetRequestHeader(const TextValue& name, const TextValue& value) override {
        call(L"SetRequestHeader", DISPATCH_METHOD, {Variant::ofText(name), Variant::ofText(value)});
    }
    void Send(const TextValue& body) override { call(L"Send", DISPATCH_METHOD, {Variant::ofText(body)}); }
    void Send(const ByteString& body) override { call(L"Send", DISPATCH_METHOD, {Variant::ofBytes(body)}); }

    ByteString ResponseBody() override {
        const Variant result = call(L"ResponseBody", DISPATCH_PROPERTYGET, {});
        return bytesOf(result.value());
    }
    TextValue GetAllResponseHeaders() override { return textResult(L"GetAllResponseHeaders", DISPATCH_METHOD); }
    double Status() override {
        Variant result = call(L"Status", DISPATCH_PROPERTYGET, {});
        return result.changeType(VT_R8) ? result.value().dblVal : 0.0;
    }
    TextValue StatusText() override { return textResult(L"StatusText", DISPATCH_PROPERTYGET); }

private:
    // Invokes the member called name with the arguments in their written
    // order. The result is VT_EMPTY when the name is unknown or the call fails.
    Variant call(const wchar_t* name, WORD kind, std::initializer_list<Variant> arguments) {
        Variant result;
        DISPID member = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member))) return result;

        // IDispatch takes its arguments last first. The VARIANTs are only
        // borrowed: their owners in the list clear them.
        VARIANTARG reversed[8];
        UINT count = 0;
        for (const Variant& argument : arguments) {
            if (argument.value().vt == VT_EMPTY) return result;  // an argument that could not be made
            if (count == std::size(reversed)) return result;
            reversed[count++] = argument.value();
        }
        for (UINT i = 0; i < count / 2; ++i) std::swap(reversed[i], reversed[count - 1 - i]);

        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{};
        parameters.rgvarg = count ? reversed : nullptr;
        parameters.cArgs = count;
        if (kind == DISPATCH_PROPERTYPUT) {
            parameters.rgdispidNamedArgs = &putId;
            parameters.cNamedArgs = 1;
        }
        EXCEPINFO exception{};
        UINT badArgument = 0;
        const HRESULT hr = dispatch_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                                             kind == DISPATCH_PROPERTYPUT ? nullptr : result.get(), &exception,
                                             &badArgument);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        if (FAILED(hr)) VariantClear(result.get());
        return result;
    }

    TextValue textResult(const wchar_t* name, WORD kind) {
        Variant result = call(name, kind, {});
        if (result.value().vt == VT_EMPTY || !result.changeType(VT_BSTR)) return {};
        return fromWide(result.value().bstrVal);
    }

    ComPtr<IDispatch> dispatch_;
};

}  // namespace

HttpRequestObject createHttpObject(const TextValue& progId) {
    const Variant wideId = Variant::ofText(progId);
    if (wideId.value().vt != VT_BSTR) return nullptr;
    CLSID classId{};
    if (FAILED(CLSIDFromProgID(wideId.value().bstrVal, &classId))) return nullptr;
    ComPtr<IDispatch> dispatch;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(dispatch.put()))) ||
        !dispatch)
        return nullptr;
    return std::make_shared<WinHttpObject>(std::move(dispatch));
}

void coInitialize() { static_cast<void>(CoInitialize(nullptr)); }

void coUninitialize() { CoUninitialize(); }

}  // namespace lunteva
