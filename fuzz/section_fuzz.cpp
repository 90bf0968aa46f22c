// Runs `varnel section` on arbitrary bytes as the section CSV, with a sample weather area and
// conductor, twice: with the text on standard output and the stringing table written as CSV and
// as an SVG chart, and with --json. Checks what the command promises, whatever the bytes:
// - both runs agree on success, and on the warnings a success writes on standard error;
// - a failure prints nothing on standard output, one line "varnel: ..." on standard error
//   without control bytes and of bounded length, exits with status 1, and leaves no file behind;
// - a success leaves exactly the files asked for; the CSV is a header and rows of one width whose
//   cells are finite numbers; the JSON document parses (nlohmann) and holds no null (how a number
//   that is not finite is written); the SVG is well-formed XML (expat) with <svg> at its root.
#include <expat.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VARNEL_FUZZ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNEL_FUZZ_SANITIZED 1
#endif
#endif
#ifdef VARNEL_FUZZ_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

int varnelMain(int argc, char** argv);

namespace {

namespace fs = std::filesystem;

// Standard error as it was: the command's own is captured, so reports go here.
int reportFd = 2;

void check(bool ok, const char* what, const std::string& detail = "") {
    if (ok) return;
    const std::string line = "section_fuzz: " + std::string(what) +
                             (detail.empty() ? "" : ": " + detail.substr(0, 400)) + "\n";
    if (write(reportFd, line.data(), line.size()) < 0) std::abort();
    std::abort();
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    check(static_cast<bool>(out), "cannot write the section file");
}

struct Folder {
    fs::path dir;
    fs::path section, csv, svg, out, err;
    Folder() {
        std::string name = (fs::temp_directory_path() / "varnel_section_fuzz_XXXXXX").string();
        check(mkdtemp(name.data()) != nullptr, "cannot make a folder", std::strerror(errno));
        dir = name;
        section = dir / "section.csv";
        csv = dir / "stringing.csv";
        svg = dir / "stringing.svg";
        out = dir / "stdout";
        err = dir / "stderr";
#ifdef VARNEL_FUZZ_SANITIZED
        reportFd = dup(2);
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(reportFd)));
#endif
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& e : fs::directory_iterator(dir)) found.insert(e.path().filename());
        return found;
    }
};

struct Run {
    int status;
    std::string out, err;
};

// The command line, with standard output and standard error captured in files.
Run runCommand(const Folder& f, std::vector<std::string> args) {
    const std::string samples = VARNEL_SAMPLES_DIR;
    std::vector<std::string> line{"varnel",
                                  "section",
                                  "--areas",
                                  samples + "/weather_areas.dbf",
                                  "--area",
                                  "\u5178\u578B\u6C14\u8C61\u533A\u2165",  // 典型气象区Ⅵ
                                  "--conductors",
                                  samples + "/conductors.dbf",
                                  "--conductor",
                                  "JL/G1A-240/30",
                                  "--section",
                                  f.section.string()};
    line.insert(line.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : line) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(1), savedErr = dup(2);
    const int out = open(f.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(f.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    check(savedOut >= 0 && savedErr >= 0 && out >= 0 && err >= 0, "cannot capture output");
    dup2(out, 1);
    dup2(err, 2);
    close(out);
    close(err);
    const int status = varnelMain(static_cast<int>(argv.size() - 1), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    Run r{status, readAll(f.out), readAll(f.err)};
    fs::remove(f.out);
    fs::remove(f.err);
    return r;
}

void checkFailure(const Run& r) {
    check(r.status == 1, "a refused section does not exit with status 1", r.err);
    check(r.out.empty(), "output on a failure", r.out);
    check(r.err.rfind("varnel: ", 0) == 0, "the error does not start with \"varnel: \"", r.err);
    check(r.err.size() <= 1024, "an error line longer than 1024 bytes", r.err);
    check(!r.err.empty() && r.err.back() == '\n', "the error is not one line", r.err);
    for (std::size_t i = 0; i + 1 < r.err.size(); ++i) {
        const auto c = static_cast<unsigned char>(r.err[i]);
        check(c >= 0x20 && c != 0x7F, "a control byte in the error", r.err);
    }
}

// A success may note on standard error what it computed but doubts (a span longer than a line's),
// each note one line "varnel: warning: ..." without control bytes.
void checkWarnings(const std::string& err) {
    for (std::size_t start = 0; start < err.size();) {
        const std::size_t end = err.find('\n', start);
        check(end != std::string::npos, "a warning is not a whole line", err);
        const std::string_view line(err.data() + start, end - start);
        check(line.rfind("varnel: warning: ", 0) == 0, "a success writes other than warnings", err);
        check(line.size() <= 1024, "a warning longer than 1024 bytes", err);
        for (char ch : line) {
            const auto c = static_cast<unsigned char>(ch);
            check(c >= 0x20 && c != 0x7F, "a control byte in a warning", err);
        }
        start = end + 1;
    }
}

void checkCsv(const std::string& text) {
    check(!text.empty() && text.back() == '\n', "CSV without a last line feed");
    std::size_t width = 0, rows = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::string_view row(text.data() + start, end - start);
        start = end + 1;
        std::size_t cells = 0;
        for (std::size_t at = 0; at <= row.size();) {
            std::size_t comma = row.find(',', at);
            if (comma == std::string_view::npos) comma = row.size();
            const std::string_view cell = row.substr(at, comma - at);
            at = comma + 1;
            ++cells;
            if (rows == 0) continue;  // the header
            double v = 0;
            const auto [ptr, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
            check(ec == std::errc() && ptr == cell.data() + cell.size() && std::isfinite(v),
                  "a CSV cell that is not a finite number", std::string(cell));
        }
        if (rows == 0) width = cells;
        check(cells == width, "CSV rows of different widths", std::string(row));
        ++rows;
    }
    check(rows >= 2, "CSV without rows");
}

void checkJson(const nlohmann::json& j, const std::string& where) {
    check(!j.is_null(), "null in the JSON document (a number that is not finite)", where);
    if (j.is_structured()) {
        for (auto it = j.begin(); it != j.end(); ++it) {
            checkJson(*it, j.is_object() ? where + "/" + it.key() : where + "/#");
        }
    }
}

struct XmlRoot {
    int depth = 0;
    std::string root;
};

void checkSvg(const std::string& text) {
    XML_Parser parser = XML_ParserCreate("UTF-8");
    check(parser != nullptr, "cannot make an XML parser");
    XmlRoot root;
    XML_SetUserData(parser, &root);
    XML_SetElementHandler(
        parser,
        [](void* user, const XML_Char* name, const XML_Char**) {
            auto* r = static_cast<XmlRoot*>(user);
            if (r->depth++ == 0) r->root = name;
        },
        [](void* user, const XML_Char*) { --static_cast<XmlRoot*>(user)->depth; });
    const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != 0;
    const std::string why = ok ? ""
                               : std::string(XML_ErrorString(XML_GetErrorCode(parser))) +
                                     " at line " + std::to_string(XML_GetCurrentLineNumber(parser));
    XML_ParserFree(parser);
    check(ok, "the SVG is not well-formed XML", why);
    check(root.root == "svg" || root.root.ends_with(" svg"), "the SVG's root is not <svg>",
          root.root);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    writeAll(folder.section, data, size);
    const std::set<std::string> input{"section.csv"};

    const Run text =
        runCommand(folder, {"--csv", folder.csv.string(), "--svg", folder.svg.string()});
    if (text.status != 0) {
        checkFailure(text);
        check(folder.names() == input, "files left behind by a failed run");
    } else {
        check(!text.out.empty(), "a success without text");
        checkWarnings(text.err);
        check(folder.names() ==
                  std::set<std::string>{"section.csv", "stringing.csv", "stringing.svg"},
              "not exactly the files asked for");
        checkCsv(readAll(folder.csv));
        checkSvg(readAll(folder.svg));
        fs::remove(folder.csv);
        fs::remove(folder.svg);
    }

    const Run json = runCommand(folder, {"--json"});
    check(json.status == text.status, "--json and the text disagree on success", json.err);
    if (json.status != 0) {
        checkFailure(json);
    } else {
        const auto doc = nlohmann::json::parse(json.out, nullptr, false);
        check(!doc.is_discarded() && doc.is_object(), "the JSON document does not parse", json.out);
        checkJson(doc, "");
        checkWarnings(json.err);
        check(json.err == text.err, "--json and the text warn differently", json.err);
    }
    check(folder.names() == input, "files left behind");
    return 0;
}
