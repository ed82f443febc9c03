#pragma once
// The text of --help and the reminder printed with a usage error, made from the option table.
// The manual page is made from the same pieces.
#include <string>
#include <vector>

struct TCliOption;

// The pieces of the help besides the options, each a paragraph of plain text.
struct THelpParagraphs {
    std::vector<std::string> Synopsis;  // "clipgif-cli [OPTIONS] FILE...", one way per line
    std::string Description;            // what the program does
    std::string Output;                 // what it prints while it converts and when it is done
    std::string ExitStatus;             // "0 when every FILE was converted; ..."
};
const THelpParagraphs& HelpParagraphs();

// The row's help, followed by its range or choices: "N: a whole number from 0 to 65535."
std::string OptionDescription(const TCliOption& row);

// The synopsis, what the program does, every option of the table with what it does and costs
// (and its range or choices), the output and the exit status.
std::string HelpText();

// The short reminder printed with a usage error.
std::string UsageText();
