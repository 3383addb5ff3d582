#include "CommandLine.h"

#include "app/Commands.h"
#include "editor/TileSheet.h"
#include "longpage/StitchCommand.h"
#include "markup/MarkupSetup.h"
#include "recording/ZoomCommand.h"
#include "recording/ZoomPlanCommand.h"
#include "sending/ShareCommands.h"
#include "understanding/ReadCommand.h"
#include "updates/UpdatesCommands.h"
#include "upload/ServePhoneCommand.h"
#include "video/VideoRenderCommand.h"

#include <QTextStream>

namespace ombrel {

const QList<Verb>& verbs() {
    // Each subsystem adds its verbs here; the function lives beside the logic it drives.
    static const QList<Verb> table{
        {"capture", "[--screen N | --window XID] [--output FILE] [--clipboard]",
         "Grab a screen or window and write a PNG (default: a new library file); prints the path.",
         VerbNeeds::Gui, &captureCommand},
        {"library", "list | search WORD…", "Print library files, newest first, or those matching every word.",
         VerbNeeds::Core, &libraryCommand},
        {"open", "URL-or-FILE…", "Hand capture URLs and files to the running program, starting it if needed.",
         VerbNeeds::Gui, nullptr},
        {"send", "FILE…",
         "Paste the files into the chat you used last, as Send to Chat does, starting the program if needed.",
         VerbNeeds::Gui, nullptr},
        {"hold-clipboard", "FILE", "Keep a PNG on the clipboard until something else is copied.",
         VerbNeeds::Gui, &holdClipboardCommand},
        {"stitch", "FRAME.png… --output OUT.png",
         "Stitch frames of a page scrolled top to bottom into one picture.", VerbNeeds::Gui, &stitchCommand},
        {"serve-phone", "[--inbox DIR] [--bind ADDRESS]",
         "Serve the Add from Phone page; print its address, then each received file.", VerbNeeds::Network,
         &servePhoneCommand},
        {"render", "PICTURE [--marks MARKS.json] --output OUT.png",
         "Render a picture with its marks (the library's own when --marks is absent) to a finished PNG.",
         VerbNeeds::Gui, &renderCommand},
        {"tiles", "PICTURE --output SHEET.png",
         "Cut every numbered mark of a library picture out and lay them on one tile sheet PNG.",
         VerbNeeds::Gui, &TileSheet::tilesCommand},
        {"zoom-plan", "EVENTS.json [--video FILE] --output PLAN.json",
         "Plan the zoom camera of a recording from its pointer events (and its video).", VerbNeeds::Core,
         &zoomPlanCommand},
        {"record", "[--window XID] [--seconds N] [--no-zoom] [--no-sound] [--output FILE] [--events FILE]",
         "Record the screen or a window (until Ctrl-C, or N seconds) with the microphone, zoom it and save "
         "it; "
         "prints the path.",
         VerbNeeds::Gui, &recordCommand},
        {"zoom", "VIDEO EVENTS.json --output FILE",
         "Render a recording again through the zoom camera planned from its events (as zoom-plan reads "
         "them).",
         VerbNeeds::Core, &zoomCommand},
        {"video-render", "VIDEO EDIT.json --output OUT.mp4",
         "Render a recording with an edit (crop, mute, notes, captions, as JSON) into a new video.",
         VerbNeeds::Gui, &videoRenderCommand},
        {"transcribe", "VIDEO [--language CODE] --output CAPTIONS.json",
         "Hear what is said in a video and write it as timed captions (time, duration, text) in JSON.",
         VerbNeeds::Core, &transcribeCommand},
        {"read", "PICTURE [--careful] [--find QUERY] [--private]",
         "Print the text read on a picture with its boxes, or what a find or Auto-Blur would mark, as JSON.",
         VerbNeeds::Core, &readCommand},
        {"steps", "FILE… [--output PDF]",
         "Make the steps document of the pictures (default: a new library file); prints its path.",
         VerbNeeds::Gui, &stepsCommand},
        {"save-copy", "FILE… --to FOLDER",
         "Copy the files into FOLDER's Ombrel Capture folder, as Choose a Folder… does; prints each copy.",
         VerbNeeds::Core, &saveCopyCommand},
        {"check-for-updates", "[--feed URL] [--install]",
         "Check the update feed as the menu does and print the answer; --install installs an offered update.",
         VerbNeeds::Network, &checkForUpdatesCommand},
        {"crash-summary", "REPORT", "Print the summary of a crash report that would be sent.",
         VerbNeeds::Core, &crashSummaryCommand},
    };
    return table;
}

const Verb* findVerb(const QString& name) {
    for (const Verb& v : verbs())
        if (name == QLatin1String(v.name)) return &v;
    return nullptr;
}

QString helpText() {
    QString text;
    QTextStream out(&text);
    out << "Ombrel Capture " << OMBREL_VERSION
        << ": pictures and recordings of your screen for your AI chat.\n\n"
        << "Usage:\n"
        << "  ombrel-capture                 start the program (or show the running one)\n"
        << "  ombrel-capture URL             hand an ombrel-capture:// URL to the program\n";
    for (const Verb& v : verbs())
        out << "  ombrel-capture " << v.name << ' ' << v.usage << "\n      " << v.summary << '\n';
    out << "  ombrel-capture --help | --version\n";
    return text;
}

} // namespace ombrel
