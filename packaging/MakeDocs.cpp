// clipgif-docs: writes the manual pages and the bash completion, made from the command line's
// option table, for the build to install.
//
//     clipgif-docs clipgif-cli.1|clipgif.1|bash-completion OUTPUT
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "packaging/BashCompletion.h"
#include "packaging/ManPages.h"

int main(int argc, char** argv) {
    const std::map<std::string, std::string (*)()> documents = {
        {"clipgif-cli.1", CliManPage},
        {"clipgif.1", DesktopManPage},
        {"bash-completion", CliBashCompletion}};
    const auto document = argc == 3 ? documents.find(argv[1]) : documents.end();
    if (document == documents.end()) {
        std::fprintf(stderr,
                     "usage: clipgif-docs clipgif-cli.1|clipgif.1|bash-completion OUTPUT\n");
        return 2;
    }
    std::ofstream output(argv[2], std::ios::binary);
    output << document->second();
    output.close();
    if (!output) {
        std::fprintf(stderr, "clipgif-docs: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
