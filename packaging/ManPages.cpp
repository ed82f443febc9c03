#include "packaging/ManPages.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "cli/OptionHelp.h"
#include "cli/OptionTable.h"
#include "packaging/Roff.h"

#ifndef CLIPGIF_VERSION
#error "the build defines CLIPGIF_VERSION"
#endif

namespace {

const char* const kSource = "ClipGIF " CLIPGIF_VERSION;

// "[OPTIONS]" with the word in capitals, an argument, in italic.
std::string ItalicCapitals(const std::string& word) {
    const char* const capitals = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const size_t first = word.find_first_of(capitals);
    if (first == std::string::npos) return RoffText(word);
    const size_t end = std::min(word.find_first_not_of(capitals, first), word.size());
    return RoffText(word.substr(0, first)) + RoffItalic(word.substr(first, end - first)) +
           RoffText(word.substr(end));
}

// One way of calling a program: its name and the options in bold, the arguments in italic.
std::string SynopsisLine(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    std::string roff;
    while (words >> word) {
        const bool bold = roff.empty() || word[0] == '-';
        roff += (roff.empty() ? "" : " ") + (bold ? RoffBold(word) : ItalicCapitals(word));
    }
    return roff;
}

void Synopsis(TManPage& page, const std::vector<std::string>& lines) {
    page.Section("SYNOPSIS");
    for (const std::string& line : lines) {
        if (&line != &lines.front()) page.Break();
        page.MarkedLine(SynopsisLine(line));
    }
}

// "\fB\-s\fR, \fB\-\-size\fR \fISIZE\fR"
std::string OptionTag(const TCliOption& row) {
    std::string tag = row.Short.empty() ? "" : RoffBold(row.Short) + ", ";
    tag += RoffBold(row.Long);
    if (!row.Argument.empty()) tag += " " + RoffItalic(row.Argument);
    return tag;
}

// Where the installed programs and their files lie, as both pages say it.
const char* const kProgramFolder =
    "The programs lie in a folder of their own, lib/clipgif below the installation's prefix "
    "(/usr/lib/clipgif, /usr/local/lib/clipgif), which the links in its bin folder lead to. ";

}  // namespace

std::string CliManPage() {
    const THelpParagraphs& help = HelpParagraphs();
    TManPage page("clipgif-cli", kSource);
    page.Section("NAME");
    page.Line("clipgif-cli - convert video clips into animated GIFs");
    Synopsis(page, help.Synopsis);
    page.Section("DESCRIPTION");
    page.Line(help.Description);
    page.Section("OPTIONS");
    for (const TCliOption& row : CliOptionTable())
        page.TaggedParagraph(OptionTag(row), OptionDescription(row));
    page.Section("OUTPUT");
    page.Line(help.Output);
    page.Section("EXIT STATUS");
    page.Line(help.ExitStatus);
    page.Section("FILES");
    page.Line(std::string(kProgramFolder) +
              "A folder lib there may hold FFmpeg 5.1 libraries, which are loaded in place of "
              "the system's.");
    page.Section("SEE ALSO");
    page.References("clipgif", "ffmpeg");
    return page.Text();
}

std::string DesktopManPage() {
    TManPage page("clipgif", kSource);
    page.Section("NAME");
    page.Line("clipgif - turn a video clip into an animated GIF on the desktop");
    Synopsis(page, {"clipgif [FILE]"});
    page.Section("DESCRIPTION");
    page.Line(
        "The desktop program of ClipGIF. Input, a file dropped on the window or a FILE given on "
        "the command line opens a clip and shows the output options dialog: what the clip "
        "holds, its frames, the frame size, the piece of the clip to convert, whether the GIF "
        "plays at the clip's speed and loops, and whether it is optimised into a smaller file.");
    page.Paragraph(
        "Start converts the clip on a worker thread, with its frames in the preview window and "
        "the progress in the status line; Pause, Resume and Stop control the conversion, and "
        "the log shows what the engine reports. The GIF is saved beside the clip as "
        "NAME_(new).gif, or NAME_(new_1).gif, ... when that name is taken; no existing file is "
        "ever replaced. Once it is complete the preview window plays it, and its context menu "
        "copies it to the clipboard.");
    page.Paragraph(
        "Besides FILE, the command line takes the options of every Qt program, such "
        "as -platform NAME.");
    page.Section("FILES");
    page.Line(std::string(kProgramFolder) +
              "Beside the programs lie the settings file lamecore.dll (its text stored with "
              "every byte complemented), the icon icon.ico, the picture of the main window "
              "under sounds/, the pages the help menu opens in help/ and, when there, "
              "FFmpeg 5.1 libraries in lib/, loaded in place of the system's. The program only "
              "reads them: nothing is written there while it runs.");
    page.Section("SEE ALSO");
    page.References("clipgif-cli");
    return page.Text();
}
