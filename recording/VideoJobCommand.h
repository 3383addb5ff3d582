#pragma once
// The shape shared by the command-line verbs that render a video again from a file of
// instructions: `VERB VIDEO FILE.json --output OUT`, and a progress line on a terminal.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <variant>

namespace ombrel {

struct VideoJob {
    QString video;
    QString instructionsFile;
    QByteArray instructions; // the file's bytes
    QString output;
};

// The words of one verb: its usage line, what the second file is, and what is written.
struct VideoJobWords {
    QString usage;  // "Usage: ombrel-capture zoom VIDEO EVENTS.json --output FILE"
    QString files;  // "Name the video and its events file."
    QString result; // "the zoomed video"
};

// Reads the arguments and the instructions file; prints what is wrong on standard error and
// answers the exit status instead (2 for a wrong call, 1 for a missing or unreadable file).
std::variant<VideoJob, int> readVideoJob(const QStringList& arguments, const VideoJobWords& words);

// Prints "\r<label>… N %" on a terminal as the fraction grows, nothing in a pipe or a file;
// `clear` wipes the line when the work ends.
class TerminalProgress {
  public:
    TerminalProgress(QTextStream& out, QString label);
    void operator()(double fraction);
    void clear();

  private:
    QTextStream& m_out;
    QString m_label;
    bool m_terminal;
    int m_shownPercent = -1;
};

} // namespace ombrel
