// The first word of a command line that is not an option: the command. A misspelt one is
// named with the nearest command, rather than left to the parser, which would only say that
// the words after it were not expected.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace treadle::cli {

// The names among `names` within a small edit distance of `word`, nearest first.
std::vector<std::string> NearNames(const std::string& word, const std::vector<std::string>& names);

// The first argument that is neither an option nor an option's value; empty when there is
// none before "--". `takesValue` says whether an option ("--index", "-q") takes the next
// argument as its value.
std::string CommandWord(const std::vector<std::string>& args,
                        const std::function<bool(const std::string&)>& takesValue);

// "unknown command "sett"; did you mean "set"? The commands are: ...", or empty when `word`
// is one of `commands`.
std::string UnknownCommandText(const std::string& word, const std::vector<std::string>& commands);

}  // namespace treadle::cli
