// Where a command's result goes: the process's standard output as it was when the command began.
// The library writes its account of the controlling-condition search to standard output too, so
// while a ResultStream lives, descriptor 1 points at the null device; a capture
// (library_output.h) takes the account from there when it is wanted. Rows can then be written as
// they are computed, each straight after the library's calls that made it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::tool {

class OutputFile;

class ResultStream {
  public:
    ResultStream();  // throws ToolError
    ~ResultStream();
    ResultStream(const ResultStream&) = delete;
    ResultStream& operator=(const ResultStream&) = delete;

    // Throws ToolError when standard output cannot be written (a full disk, a closed pipe).
    void write(std::string_view text);
    // A file among the run's outputs (a CSV file, a drawing), opened now (throws ToolError for
    // a path that cannot be written) and written as the run goes, but put in place only by
    // finish(), with every other file of the run, once standard output has been written. A run
    // that fails anywhere, in its figures, its drawing or any of its files, leaves every file it
    // names as it was.
    OutputFile& file(const std::string& pathUtf8);
    // Writes out what is still buffered, then puts the run's files in place; throws as write()
    // does, or as OutputFile::commit(). A command's output is complete only once this has
    // returned.
    void finish();
    bool isTerminal() const;

  private:
    std::FILE* out_ = nullptr;
    int saved_ = -1;  // descriptor 1 as it was, put back at the end
    std::vector<std::unique_ptr<OutputFile>> files_;
};

// A file a command writes as it goes. A regular file (or a name not yet taken) is written to a
// new file beside it, which commit() renames into its place: a run that fails leaves whatever was
// there as it was, and removes only the file it made. A device or a pipe (/dev/null, a FIFO) is
// written directly and never removed. A symbolic link is followed to the file it names, which
// is replaced in its own folder; the link stays. Opened when constructed, so a path that cannot
// be written fails before anything is printed.
class OutputFile {
  public:
    explicit OutputFile(const std::string& pathUtf8);  // throws ToolError "PATH: cannot write: ..."
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view text);  // throws ToolError
    void commit();                      // flushAndClose() then place()
    // Writes out what is buffered and closes the file: where a full disk shows. Throws ToolError.
    void flushAndClose();
    // Renames the closed file into its place (nothing for a device or a pipe). Throws ToolError.
    void place();

  private:
    [[noreturn]] void fail(int error) const;

    std::string pathUtf8_;
    std::string target_;     // the file the output ends up in, native, links followed
    std::string temporary_;  // the file being written beside it; empty when writing the target
    std::FILE* file_ = nullptr;
};

// A progress line on standard error for a long run, shown only when standard error is a
// terminal and the results go elsewhere (rows on the terminal show their own progress), at most a
// few times a second, and erased at the end.
class Progress {
  public:
    Progress(const char* what, unsigned long long total, const ResultStream& results);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(unsigned long long done);

  private:
    const char* what_;
    unsigned long long total_;
    bool enabled_;
    bool shown_ = false;
    std::size_t width_ = 0;  // of the longest line shown, to blank it out
    long long started_;
    long long last_ = 0;
};

// The whole of a file read as bytes; ToolError for a file that cannot be opened or read, and
// "PATH: " + `tooLarge` for one longer than `maxBytes` (an input no run could use).
std::string readWholeFile(const std::string& pathUtf8, std::size_t maxBytes,
                          const std::string& tooLarge);

}  // namespace varnel::tool
