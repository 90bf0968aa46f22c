#include "tools/encoding.h"

#include <cstdint>
#include <vector>

#include "tools/tool_error.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <shellapi.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace varnel::tool {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

#ifdef _WIN32
constexpr unsigned kGbk = 936;

std::wstring toWide(std::string_view text, unsigned codePage, DWORD flags) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                        n);
    return wide;
}

std::string fromWide(const std::wstring& wide, unsigned codePage, BOOL* lost) {
    if (wide.empty()) return {};
    // UTF-8 takes no default character: the argument must be null for it.
    BOOL* flag = codePage == CP_UTF8 ? nullptr : lost;
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, flag);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, flag);
    return out;
}
#else
// One conversion through iconv. With `lenient`, a byte that does not convert becomes U+FFFD
// and the conversion goes on; otherwise the result is empty and `ok` false.
std::string convert(std::string_view text, const char* to, const char* from, bool lenient,
                    bool* ok) {
    *ok = true;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw ToolError("no iconv conversion from GBK");
    std::string out;
    std::vector<char> buffer(4 * text.size() + 16);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        if (!lenient) {
            *ok = false;
            break;
        }
        out += kReplacement;  // EILSEQ or EINVAL (a lead byte at the end): skip one byte
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    return out;
}
#endif

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
#ifdef _WIN32
    const std::wstring wide = toWide(gbk, kGbk, 0);
    return fromWide(wide, CP_UTF8, nullptr);
#else
    bool ok = true;
    return convert(gbk, "UTF-8", "GBK", true, &ok);
#endif
}

std::string utf8ToGbk(std::string_view utf8, std::string_view what) {
#ifdef _WIN32
    const std::wstring wide = toWide(utf8, CP_UTF8, MB_ERR_INVALID_CHARS);
    BOOL lost = FALSE;
    std::string gbk = fromWide(wide, kGbk, &lost);
    const bool ok = !lost && (utf8.empty() || !wide.empty());
#else
    bool ok = true;
    std::string gbk = convert(utf8, "GBK", "UTF-8", false, &ok);
#endif
    if (!ok) throw ToolError(std::string(what) + ": has a character that GBK cannot hold");
    return gbk;
}

std::string nativePath(const std::string& utf8) {
#ifdef _WIN32
    const std::wstring wide = toWide(utf8, CP_UTF8, 0);
    BOOL lost = FALSE;
    std::string ansi = fromWide(wide, CP_ACP, &lost);
    if (lost) throw ToolError(utf8 + ": the path has characters this system's code page lacks");
    return ansi;
#else
    return utf8;
#endif
}

std::string displayPath(const std::string& native) {
#ifdef _WIN32
    return fromWide(toWide(native, CP_ACP, 0), CP_UTF8, nullptr);
#else
    return native;
#endif
}

#ifdef _WIN32
std::vector<std::string> utf8Arguments() {
    SetConsoleOutputCP(CP_UTF8);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(fromWide(argv[i], CP_UTF8, nullptr));
    LocalFree(argv);
    return args;
}
#endif

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = b;
        std::size_t len = 1;
        if (b >= 0xF0) {
            len = 4;
            cp = b & 0x07u;
        } else if (b >= 0xE0) {
            len = 3;
            cp = b & 0x0Fu;
        } else if (b >= 0xC0) {
            len = 2;
            cp = b & 0x1Fu;
        }
        for (std::size_t k = 1; k < len && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += len;
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                          (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                          (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                          (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

}  // namespace varnel::tool
