#include "cli/CliOptions.h"

#include <algorithm>
#include <set>
#include <span>

#include "cli/OptionTable.h"
#include "cli/OptionValues.h"

namespace {

using TGivenOptions = std::set<const TCliOption*>;

// The value of the option `name` at args[i]: after "=" in "--name=value", else the next
// argument (`i` moves past it); "" for a switch.
std::string ArgumentOf(const TCliOption& row, const std::string& name,
                       const std::vector<std::string>& args, size_t& i) {
    const std::string& arg = args[i];
    const bool hasEquals = arg.size() > name.size();
    if (row.Argument.empty()) {
        if (hasEquals) throw TUsageError(name + " takes no value");
        return "";
    }
    if (hasEquals) return arg.substr(name.size() + 1);
    if (i + 1 < args.size()) return args[++i];
    throw TUsageError(name + " needs " + row.Argument);
}

// Reads one option and stores its value.
const TCliOption& ReadOption(const std::vector<std::string>& args, size_t& i,
                             TCliRequest& request) {
    const std::string& arg = args[i];
    const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const TCliOption* row = FindCliOption(name);
    if (!row) throw TUsageError("unknown option \"" + name + "\"");
    StoreOptionValue(*row, ReadOptionValue(*row, ArgumentOf(*row, name, args, i)), request);
    if (row->Action != TCliAction::Convert) request.Action = row->Action;
    return *row;
}

bool IsGiven(const TGivenOptions& given, const TCliOption& row) { return given.count(&row) > 0; }

// The first pair of given options that exclude each other, in the table's order.
void CheckExclusions(const TGivenOptions& given) {
    const std::span<const TCliOption> table = CliOptionTable();
    for (size_t a = 0; a < table.size(); ++a) {
        if (!IsGiven(given, table[a])) continue;
        for (size_t b = a + 1; b < table.size(); ++b)
            if (IsGiven(given, table[b]) && OptionsExclude(table[a], table[b]))
                throw TUsageError(table[a].Long + " and " + table[b].Long + " exclude each other");
    }
}

// Options that stand alone: their own argument and nothing else.
void CheckAlone(const TCliRequest& request, const TGivenOptions& given) {
    for (const TCliOption* row : given)
        if (row->Limit == TOptionLimit::Alone &&
            (given.size() != 1 || !request.Settings.Files.empty()))
            throw TUsageError(row->Long + " takes one " + row->Argument + " and nothing else");
}

// What a conversion needs of its options and files.
void CheckConversion(const TCliRequest& request, const TGivenOptions& given) {
    const TConvertSettings& settings = request.Settings;
    CheckExclusions(given);
    if (settings.Files.empty()) throw TUsageError("no FILE to convert");
    for (const TCliOption* row : given)
        if (row->Limit == TOptionLimit::OneFile && settings.Files.size() > 1)
            throw TUsageError(row->Long + " takes one FILE only");
    if (settings.End != TConvertSettings::kUnsetTime &&
        settings.End <= std::max<int64_t>(settings.Start, 0))
        throw TUsageError("--end must come after --start");
}

}  // namespace

TCliRequest ParseCommandLine(const std::vector<std::string>& args) {
    TCliRequest request;
    TGivenOptions given;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            request.Settings.Files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else {
            given.insert(&ReadOption(args, i, request));
            // The help and the version are printed whatever else the command line holds.
            if (request.Action == TCliAction::Help || request.Action == TCliAction::Version)
                return request;
        }
    }
    CheckAlone(request, given);
    if (request.Action == TCliAction::Convert) CheckConversion(request, given);
    return request;
}
