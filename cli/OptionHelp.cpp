#include "cli/OptionHelp.h"

#include <initializer_list>
#include <sstream>
#include <vector>

#include "cli/OptionTable.h"
#include "cli/OptionValues.h"

namespace {

constexpr size_t kTextColumn = 22;
constexpr size_t kLineWidth = 79;

// "usage: " before the first way of calling the program, blanks as wide before the others.
std::string SynopsisText() {
    const std::string usage = "usage: ";
    std::string text;
    for (const std::string& line : HelpParagraphs().Synopsis)
        text += (text.empty() ? usage : std::string(usage.size(), ' ')) + line + "\n";
    return text;
}

// Lines of at most `width` characters, broken at blanks.
std::vector<std::string> Wrap(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string word;
    std::string line;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Paragraphs wrapped to the line width, with an empty line between them.
std::string Paragraphs(std::initializer_list<std::string> paragraphs) {
    std::string text;
    for (const std::string& paragraph : paragraphs) {
        if (!text.empty()) text += "\n";
        for (const std::string& line : Wrap(paragraph, kLineWidth)) text += line + "\n";
    }
    return text;
}

// "  -s, --size SIZE", the short name's place left blank when there is none.
std::string OptionHeading(const TCliOption& row) {
    std::string heading = "  ";
    heading += row.Short.empty() ? "    " : row.Short + ", ";
    heading += row.Long;
    if (!row.Argument.empty()) heading += " " + row.Argument;
    return heading;
}

// The heading, and the description in a column beside it (below it when the heading is wide).
std::string OptionEntry(const TCliOption& row) {
    std::string text;
    std::string heading = OptionHeading(row);
    if (heading.size() + 2 > kTextColumn) {
        text += heading + "\n";
        heading.clear();
    }
    for (const std::string& line : Wrap(OptionDescription(row), kLineWidth - kTextColumn)) {
        text += heading + std::string(kTextColumn - heading.size(), ' ') + line + "\n";
        heading.clear();
    }
    return text;
}

}  // namespace

const THelpParagraphs& HelpParagraphs() {
    static const THelpParagraphs paragraphs{
        .Synopsis = {"clipgif-cli [OPTIONS] FILE...", "clipgif-cli --info FILE"},
        .Description =
            "Converts each video FILE, one after another, into an animated GIF that plays like "
            "the clip. The GIF goes beside its input as NAME_(new).gif, or NAME_(new_1).gif, ... "
            "when that name is taken; no existing file is ever replaced.",
        .Output =
            "On a terminal a progress bar shows the share of the clip done, the frames, "
            "frames per second and the time left. Each saved GIF gets one line on stdout: "
            "its path, frame count, size in pixels and bytes. Ctrl-C stops the conversion "
            "and saves the frames converted so far.",
        .ExitStatus =
            "0 when every FILE was converted; 1 when any failed (the reason on stderr, "
            "no file left for it) or lost frames it could not read or decode (its GIF "
            "saved, what was lost on stderr); 2 for a wrong command line; 130 when Ctrl-C "
            "stopped it."};
    return paragraphs;
}

std::string OptionDescription(const TCliOption& row) {
    if (!row.Range && row.Choices.empty()) return row.Help;
    return row.Help + " " + row.Argument + ": " + ExpectedValueText(row) + ".";
}

std::string UsageText() { return SynopsisText() + "Try \"clipgif-cli --help\" for the options.\n"; }

std::string HelpText() {
    const THelpParagraphs& paragraphs = HelpParagraphs();
    std::string text = SynopsisText() + "\n";
    text += Paragraphs({paragraphs.Description});
    text += "\nOptions:\n";
    for (const TCliOption& row : CliOptionTable()) text += OptionEntry(row);
    text += "\n";
    text += Paragraphs({paragraphs.Output, "Exit status: " + paragraphs.ExitStatus});
    return text;
}
