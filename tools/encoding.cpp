#include "tools/encoding.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
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

// Code point cp as UTF-8.
void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

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
#elif defined(__EMSCRIPTEN__)
// The WebAssembly C library's iconv decodes GBK but cannot encode it, decodes 0x80 (the euro
// sign of code page 936) as an error and maps the user-defined areas to private-use characters,
// which the native builds refuse. So GBK goes through tables made once from its decoder, kept to
// the characters the native builds convert: the same texts both ways as glibc's GBK.
struct GbkTables {
    std::vector<char32_t> decoded;  // by (lead - 0x81) * 192 + (trail - 0x40); 0 when unmapped
    std::vector<std::pair<char32_t, std::uint16_t>> encoded;  // sorted by code point

    GbkTables() : decoded(126 * 192, 0) {
        iconv_t cd = iconv_open("UTF-32LE", "GBK");
        if (cd == reinterpret_cast<iconv_t>(-1)) throw ToolError("no iconv conversion from GBK");
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                std::uint32_t out[2] = {};
                char* inPtr = in;
                char* outPtr = reinterpret_cast<char*>(out);
                std::size_t inLeft = 2, outLeft = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
                    inLeft != 0 || outLeft != sizeof out - 4) {
                    continue;
                }
                const char32_t cp = out[0];
                if (cp >= 0xE000 && cp <= 0xF8FF) continue;  // a user-defined character
                decoded[(lead - 0x81) * 192 + (trail - 0x40)] = cp;
                encoded.emplace_back(cp, static_cast<std::uint16_t>(lead << 8 | trail));
            }
        }
        iconv_close(cd);
        encoded.emplace_back(U'\u20AC', 0x80);
        std::sort(encoded.begin(), encoded.end());
    }
};

const GbkTables& gbkTables() {
    static const GbkTables tables;
    return tables;
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
#elif defined(__EMSCRIPTEN__)
    // As iconv with a U+FFFD for each byte that does not start a character.
    const GbkTables& tables = gbkTables();
    std::string out;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        char32_t cp = lead == 0x80 ? U'\u20AC' : 0;
        std::size_t size = 1;
        if (lead >= 0x81 && lead <= 0xFE && i + 1 < gbk.size()) {
            const auto trail = static_cast<unsigned char>(gbk[i + 1]);
            if (trail >= 0x40 && trail <= 0xFE) {
                cp = tables.decoded[(lead - 0x81u) * 192u + (trail - 0x40u)];
                size = 2;
            }
        }
        if (cp == 0) {
            out += kReplacement;
            ++i;
        } else {
            append(out, cp);
            i += size;
        }
    }
    return out;
#else
    bool ok = true;
    return convert(gbk, "UTF-8", "GBK", true, &ok);
#endif
}

std::optional<std::string> strictGbkToUtf8(std::string_view gbk) {
#ifdef _WIN32
    if (gbk.empty()) return std::string();
    const std::wstring wide = toWide(gbk, kGbk, MB_ERR_INVALID_CHARS);
    if (wide.empty()) return std::nullopt;
    return fromWide(wide, CP_UTF8, nullptr);
#elif defined(__EMSCRIPTEN__)
    const GbkTables& tables = gbkTables();
    std::string out;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        if (lead == 0x80) {
            append(out, U'\u20AC');
            ++i;
            continue;
        }
        if (lead > 0xFE || i + 1 == gbk.size()) return std::nullopt;
        const auto trail = static_cast<unsigned char>(gbk[i + 1]);
        if (trail < 0x40 || trail > 0xFE) return std::nullopt;
        const char32_t cp = tables.decoded[(lead - 0x81u) * 192u + (trail - 0x40u)];
        if (cp == 0) return std::nullopt;
        append(out, cp);
        i += 2;
    }
    return out;
#else
    bool ok = true;
    std::string out = convert(gbk, "UTF-8", "GBK", false, &ok);
    if (!ok) return std::nullopt;
    return out;
#endif
}

std::string utf8ToGbk(std::string_view utf8, std::string_view what) {
#ifdef _WIN32
    const std::wstring wide = toWide(utf8, CP_UTF8, MB_ERR_INVALID_CHARS);
    BOOL lost = FALSE;
    std::string gbk = fromWide(wide, kGbk, &lost);
    const bool ok = !lost && (utf8.empty() || !wide.empty());
#elif defined(__EMSCRIPTEN__)
    const GbkTables& tables = gbkTables();
    // The code points first: the C library's UTF-8 decoder refuses what glibc's refuses.
    bool ok = true;
    std::vector<std::uint32_t> points(utf8.size());
    std::size_t count = 0;
    if (!utf8.empty()) {
        iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
        if (cd == reinterpret_cast<iconv_t>(-1)) throw ToolError("no iconv conversion to GBK");
        char* in = const_cast<char*>(utf8.data());
        std::size_t inLeft = utf8.size();
        char* out = reinterpret_cast<char*>(points.data());
        std::size_t outLeft = points.size() * 4;
        ok = iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
        count = (points.size() * 4 - outLeft) / 4;
        iconv_close(cd);
    }
    std::string gbk;
    for (std::size_t i = 0; ok && i < count; ++i) {
        const char32_t cp = points[i];
        if (cp < 0x80) {
            gbk += static_cast<char>(cp);
        } else {
            const auto found = std::lower_bound(tables.encoded.begin(), tables.encoded.end(),
                                                std::pair<char32_t, std::uint16_t>(cp, 0));
            if (found == tables.encoded.end() || found->first != cp) {
                ok = false;
            } else if (found->second < 0x100) {
                gbk += static_cast<char>(found->second);
            } else {
                gbk += static_cast<char>(found->second >> 8);
                gbk += static_cast<char>(found->second & 0xFF);
            }
        }
    }
    if (!ok) gbk.clear();
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

namespace {

// One character of a UTF-8 text: its code point and length, or `valid` false for a byte that
// does not start a well-formed sequence (overlong forms, surrogates and values above U+10FFFF
// included), which then counts as a character of one byte.
struct Utf8Char {
    char32_t cp;
    std::size_t size;
    bool valid;
};

Utf8Char decodeAt(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char b = byte(0);
    if (b < 0x80) return {b, 1, true};
    std::size_t size = 0;
    char32_t cp = 0, least = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        size = 2, cp = b & 0x1Fu, least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        size = 3, cp = b & 0x0Fu, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        size = 4, cp = b & 0x07u, least = 0x10000;
    } else {
        return {b, 1, false};
    }
    if (i + size > s.size()) return {b, 1, false};
    for (std::size_t k = 1; k < size; ++k) {
        if ((byte(k) & 0xC0u) != 0x80u) return {b, 1, false};
        cp = (cp << 6) | (byte(k) & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {b, 1, false};
    return {cp, size, true};
}

std::u32string decode(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const Utf8Char c = decodeAt(s, i);
        out += c.valid ? c.cp : U'\uFFFD';
        i += c.size;
    }
    return out;
}

// Characters a terminal may act on rather than show: C0 and C1 controls, DEL, the
// bidirectional controls that reorder what follows, the line and paragraph separators and the
// byte order mark.
bool isControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x200E || cp == 0x200F ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0xFEFF;
}

// Traditional characters and their simplified forms, sorted by the first.
constexpr std::array<std::pair<char32_t, char32_t>, 87> kSimplified{{
    {0x5167, 0x5185},  // 內 内
    {0x51CD, 0x51BB},  // 凍 冻
    {0x5340, 0x533A},  // 區 区
    {0x55AE, 0x5355},  // 單 单
    {0x5834, 0x573A},  // 場 场
    {0x58D3, 0x538B},  // 壓 压
    {0x5BE6, 0x5B9E},  // 實 实
    {0x5BE7, 0x5B81},  // 寧 宁
    {0x5C0E, 0x5BFC},  // 導 导
    {0x5C64, 0x5C42},  // 層 层
    {0x5DBA, 0x5CAD},  // 嶺 岭
    {0x5EE3, 0x5E7F},  // 廣 广
    {0x5F35, 0x5F20},  // 張 张
    {0x5F37, 0x5F3A},  // 強 强
    {0x614B, 0x6001},  // 態 态
    {0x61C9, 0x5E94},  // 應 应
    {0x61F8, 0x60AC},  // 懸 悬
    {0x639B, 0x6302},  // 掛 挂
    {0x65B7, 0x65AD},  // 斷 断
    {0x6771, 0x4E1C},  // 東 东
    {0x687F, 0x6746},  // 桿 杆
    {0x6975, 0x6781},  // 極 极
    {0x6A19, 0x6807},  // 標 标
    {0x6A94, 0x6863},  // 檔 档
    {0x6AA2, 0x68C0},  // 檢 检
    {0x6C23, 0x6C14},  // 氣 气
    {0x6E2C, 0x6D4B},  // 測 测
    {0x6E96, 0x51C6},  // 準 准
    {0x6EAB, 0x6E29},  // 溫 温
    {0x6FD5, 0x6E7F},  // 濕 湿
    {0x7063, 0x6E7E},  // 灣 湾
    {0x71B1, 0x70ED},  // 熱 热
    {0x72C0, 0x72B6},  // 狀 状
    {0x7A4D, 0x79EF},  // 積 积
    {0x7BC0, 0x8282},  // 節 节
    {0x7D1A, 0x7EA7},  // 級 级
    {0x7D44, 0x7EC4},  // 組 组
    {0x7D55, 0x7EDD},  // 絕 绝
    {0x7D5E, 0x7EDE},  // 絞 绞
    {0x7DDA, 0x7EBF},  // 線 线
    {0x7DE3, 0x7F18},  // 緣 缘
    {0x7E23, 0x53BF},  // 縣 县
    {0x81FA, 0x53F0},  // 臺 台
    {0x8207, 0x4E0E},  // 與 与
    {0x83EF, 0x534E},  // 華 华
    {0x8607, 0x82CF},  // 蘇 苏
    {0x865F, 0x53F7},  // 號 号
    {0x88DD, 0x88C5},  // 裝 装
    {0x8907, 0x590D},  // 複 复
    {0x8A08, 0x8BA1},  // 計 计
    {0x8A2D, 0x8BBE},  // 設 设
    {0x8A66, 0x8BD5},  // 試 试
    {0x8B77, 0x62A4},  // 護 护
    {0x8B8A, 0x53D8},  // 變 变
    {0x8CA8, 0x8D27},  // 貨 货
    {0x8CB4, 0x8D35},  // 貴 贵
    {0x8F03, 0x8F83},  // 較 较
    {0x8F09, 0x8F7D},  // 載 载
    {0x8F38, 0x8F93},  // 輸 输
    {0x904E, 0x8FC7},  // 過 过
    {0x907C, 0x8FBD},  // 遼 辽
    {0x9109, 0x4E61},  // 鄉 乡
    {0x9285, 0x94DC},  // 銅 铜
    {0x92C1, 0x94DD},  // 鋁 铝
    {0x92C5, 0x950C},  // 鋅 锌
    {0x92FC, 0x94A2},  // 鋼 钢
    {0x9435, 0x94C1},  // 鐵 铁
    {0x9577, 0x957F},  // 長 长
    {0x9580, 0x95E8},  // 門 门
    {0x958B, 0x5F00},  // 開 开
    {0x95DC, 0x5173},  // 關 关
    {0x965D, 0x9655},  // 陝 陕
    {0x9670, 0x9634},  // 陰 阴
    {0x967D, 0x9633},  // 陽 阳
    {0x969B, 0x9645},  // 際 际
    {0x96D9, 0x53CC},  // 雙 双
    {0x96DC, 0x6742},  // 雜 杂
    {0x96F2, 0x4E91},  // 雲 云
    {0x96FB, 0x7535},  // 電 电
    {0x9810, 0x9884},  // 預 预
    {0x982D, 0x5934},  // 頭 头
    {0x985E, 0x7C7B},  // 類 类
    {0x98A8, 0x98CE},  // 風 风
    {0x98B1, 0x53F0},  // 颱 台
    {0x9A57, 0x9A8C},  // 驗 验
    {0x9EDE, 0x70B9},  // 點 点
    {0x9F8D, 0x9F99},  // 龍 龙
}};

char32_t simplified(char32_t cp) {
    const auto* it = std::lower_bound(
        kSimplified.begin(), kSimplified.end(), cp,
        [](const std::pair<char32_t, char32_t>& entry, char32_t key) { return entry.first < key; });
    return it != kSimplified.end() && it->first == cp ? it->second : cp;
}

bool isSpace(char32_t cp) {
    return cp == ' ' || (cp >= 0x09 && cp <= 0x0D) || cp == 0xA0 || cp == 0x3000;
}

bool isAsciiLetter(char32_t cp) {
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
}

// The value of a Roman numeral in I, V and X, lower case, written in its usual form ("iv", not
// "iiii"); 0 for anything else.
unsigned romanValue(std::u32string_view letters) {
    static constexpr std::array<const char*, 10> kUnits{"",  "i",  "ii",  "iii",  "iv",
                                                        "v", "vi", "vii", "viii", "ix"};
    static constexpr std::array<const char*, 4> kTens{"", "x", "xx", "xxx"};
    for (unsigned value = 1; value < 40; ++value) {
        const std::string form = std::string(kTens[value / 10]) + kUnits[value % 10];
        if (form.size() == letters.size() &&
            std::equal(form.begin(), form.end(), letters.begin())) {
            return value;
        }
    }
    return 0;
}

}  // namespace

std::string shownText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = decodeAt(text, i);
        if (!c.valid) {
            out += fmt::format("\\x{:02x}", static_cast<unsigned char>(text[i]));
        } else if (c.cp < 0x80 && isControl(c.cp)) {
            out += fmt::format("\\x{:02x}", static_cast<unsigned>(c.cp));
        } else if (isControl(c.cp)) {
            out += fmt::format("\\u{:04X}", static_cast<unsigned>(c.cp));
        } else {
            out.append(text.substr(i, c.size));
        }
        i += c.size;
    }
    return out;
}

std::string quotedText(std::string_view text, std::size_t maxChars) {
    std::string out = "\"";
    std::size_t i = 0;
    for (std::size_t shown = 0; i < text.size() && shown < maxChars; ++shown) {
        const Utf8Char c = decodeAt(text, i);
        if (!c.valid) {
            out += fmt::format("\\x{:02x}", static_cast<unsigned char>(text[i]));
        } else if (c.cp == '"' || c.cp == '\\') {
            out += '\\';
            out += static_cast<char>(c.cp);
        } else if (c.cp == '\n') {
            out += "\\n";
        } else if (c.cp == '\t') {
            out += "\\t";
        } else if (c.cp == '\r') {
            out += "\\r";
        } else if (c.cp < 0x80 && isControl(c.cp)) {
            out += fmt::format("\\x{:02x}", static_cast<unsigned>(c.cp));
        } else if (isControl(c.cp)) {
            out += fmt::format("\\u{:04X}", static_cast<unsigned>(c.cp));
        } else {
            out.append(text.substr(i, c.size));
        }
        i += c.size;
    }
    out += '"';
    if (i < text.size()) out += fmt::format("\u2026 ({} bytes)", text.size());
    return out;
}

std::string looseName(std::string_view utf8) {
    std::u32string name;
    for (char32_t cp : decode(utf8)) {
        if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;  // full-width ASCII
        if (cp >= 'A' && cp <= 'Z') cp += 'a' - 'A';
        if ((cp >= 0x2160 && cp <= 0x216B) || (cp >= 0x2170 && cp <= 0x217B)) {
            const unsigned value = (cp & 0xFu) + 1;  // Ⅰ..Ⅻ and ⅰ..ⅻ
            for (char d : std::to_string(value)) name += static_cast<char32_t>(d);
            continue;
        }
        name += simplified(cp);
    }
    std::size_t first = 0, last = name.size();
    while (first < last && isSpace(name[first])) ++first;
    while (last > first && isSpace(name[last - 1])) --last;

    std::string out;
    for (std::size_t i = first; i < last;) {
        std::size_t end = i;
        while (end < last && isAsciiLetter(name[end])) ++end;
        if (end == i) {
            append(out, name[i++]);
            continue;
        }
        const std::u32string_view word(name.data() + i, end - i);
        if (const unsigned value = romanValue(word)) {
            out += std::to_string(value);
        } else {
            for (char32_t cp : word) out += static_cast<char>(cp);
        }
        i = end;
    }
    return out;
}

std::size_t editDistance(std::string_view a8, std::string_view b8) {
    const std::u32string a = decode(a8), b = decode(b8);
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

std::string nearestName(std::string_view typed, const std::vector<std::string>& names) {
    const std::string key = looseName(typed);
    std::string best;
    std::size_t bestDistance = 0;
    bool tie = false;
    for (const std::string& name : names) {
        const std::size_t distance = editDistance(key, looseName(name));
        if (best.empty() || distance < bestDistance) {
            best = name;
            bestDistance = distance;
            tie = false;
        } else if (distance == bestDistance && looseName(name) != looseName(best)) {
            tie = true;
        }
    }
    const std::size_t nearEnough = std::max<std::size_t>(2, decode(key).size() / 3);
    if (!best.empty() && !tie && bestDistance <= nearEnough) return best;
    // A name cut short: the one name that begins with what was typed.
    std::string only;
    for (const std::string& name : names) {
        if (!key.empty() && looseName(name).rfind(key, 0) == 0) {
            if (!only.empty() && looseName(only) != looseName(name)) return {};
            only = name;
        }
    }
    return only;
}

}  // namespace varnel::tool
