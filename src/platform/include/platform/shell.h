#pragma once
// Hands URLs and files to the desktop's default programs. Nothing goes through a command
// shell, and nothing is re-encoded: the desktop receives the very text, as one argument.

#include <QString>

#include <functional>

class QFileInfo;

namespace platform {

class Prompter;

class Shell {
  public:
    virtual ~Shell() = default;

    // A URL ("mailto:", "http://", "ftp://", "file:", "tel:", ...) or a memo item. An item
    // starting "www." is opened as "http://" + item; a text without a scheme is a file name.
    // Returns whether the desktop took the request.
    virtual bool openUrl(const QString& address) = 0;

    // A local file, opened with the program its type is associated with. "~/" at the start
    // is the home folder. A missing file is not handed over.
    virtual bool openFile(const QString& path) = 0;
};

// The address as the desktop must receive it: "www." items get "http://" in front.
QString withWebScheme(const QString& address);

// Gives an address or a file's path, exactly as written, to the desktop's default
// program; true when the desktop took it. It does not wait for that program.
using HandOver = std::function<bool(const QString& target)>;

// The desktop's own: on Linux `program` (xdg-open) started directly with the text as its
// one argument; on Windows the shell's default action on the text.
HandOver desktopHandOver(const QString& program = QStringLiteral("xdg-open"));

// Whether opening the file would start a program: an executable file or a launcher.
bool startsProgram(const QFileInfo& file);

// The question asked before such a file is opened.
QString runProgramQuestion(const QString& path);

class DesktopShell : public Shell {
  public:
    explicit DesktopShell(Prompter& prompter, HandOver handOver = desktopHandOver());

    bool openUrl(const QString& address) override;
    bool openFile(const QString& path) override;

  private:
    Prompter& prompter_;
    HandOver handOver_;
};

}  // namespace platform
