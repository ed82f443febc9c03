#include "packaging/BashCompletion.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/core/FrameSizes.h"
#include "cli/OptionTable.h"

namespace {

// `word` in single quotes, as the shell reads it back unchanged.
std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string WordList(const std::vector<std::string>& words) {
    std::string list;
    for (const std::string& word : words) list += (list.empty() ? "" : " ") + word;
    return ShellQuoted(list);
}

std::vector<std::string> FrameSizeNames() {
    std::vector<std::string> names;
    for (const TFrameSizePreset& preset : FrameSizePresets())
        if (*preset.Name) names.push_back(preset.Name);
    return names;
}

std::vector<std::string> OptionNames() {
    std::vector<std::string> names;
    for (const TCliOption& row : CliOptionTable()) {
        if (!row.Short.empty()) names.push_back(row.Short);
        names.push_back(row.Long);
    }
    return names;
}

// "'-s' | '--size'", the pattern of a case branch.
std::string CasePattern(const TCliOption& row) {
    return (row.Short.empty() ? "" : ShellQuoted(row.Short) + " | ") + ShellQuoted(row.Long);
}

// What completes the value of the row's option, as a command of the script.
std::string ValueCompletion(const TCliOption& row) {
    switch (row.Kind) {
        case TOptionKind::Choice:
            return "_clipgif_cli_words " + WordList(row.Choices);
        case TOptionKind::FrameSize:
            return "_clipgif_cli_words " + WordList(FrameSizeNames());
        case TOptionKind::Path:
            return "_clipgif_cli_files";
        default:
            return ":";  // a number or a time to type: nothing is offered
    }
}

// One case branch per way of completing a value, with the options it serves, in the table's
// order.
std::string ValueBranches() {
    std::vector<std::pair<std::string, std::string>> branches;  // completion, patterns
    for (const TCliOption& row : CliOptionTable()) {
        if (row.Argument.empty()) continue;
        const std::string completion = ValueCompletion(row);
        auto branch = std::find_if(branches.begin(), branches.end(),
                                   [&](const auto& b) { return b.first == completion; });
        if (branch == branches.end())
            branches.emplace_back(completion, CasePattern(row));
        else
            branch->second += " | " + CasePattern(row);
    }
    std::string text;
    for (const auto& [completion, patterns] : branches)
        text += "    " + patterns + ")\n        " + completion + "\n        return\n        ;;\n";
    return text;
}

}  // namespace

std::string CliBashCompletion() {
    return "# bash completion of clipgif-cli, made by the build from the program's option table.\n"
           "\n"
           "_clipgif_cli_words() {\n"
           "    mapfile -t COMPREPLY < <(compgen -W \"$1\" -- \"$cur\")\n"
           "}\n"
           "\n"
           "_clipgif_cli_files() {\n"
           "    compopt -o filenames 2>/dev/null\n"
           "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
           "}\n"
           "\n"
           "_clipgif_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} option=\n"
           "    if ((COMP_CWORD > 0)); then option=${COMP_WORDS[COMP_CWORD - 1]}; fi\n"
           "    # bash splits \"--dither=st\" at the \"=\", which is then a word of its own.\n"
           "    if [[ $cur == = ]]; then\n"
           "        cur=\n"
           "    elif [[ $option == = ]] && ((COMP_CWORD > 1)); then\n"
           "        option=${COMP_WORDS[COMP_CWORD - 2]}\n"
           "    fi\n"
           "    COMPREPLY=()\n"
           "    case $option in\n" +
           ValueBranches() +
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        _clipgif_cli_words " +
           WordList(OptionNames()) +
           "\n"
           "    else\n"
           "        _clipgif_cli_files\n"
           "    fi\n"
           "}\n"
           "\n"
           "complete -F _clipgif_cli clipgif-cli\n";
}
