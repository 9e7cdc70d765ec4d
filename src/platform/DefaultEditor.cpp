#include "platform/DefaultEditor.h"

#include <cstdlib>
#include <string_view>

#include "platform/Editor.h"

namespace ts {
namespace {

// Inside double quotes a "\" escapes only these; before anything else it stays.
bool EscapableInDoubleQuotes(char c) {
    return std::string_view("\"\\$`").find(c) != std::string_view::npos;
}

// The character after the backslash at i - 1 goes into the word; false when there is none.
bool TakeEscaped(const std::string& command, size_t i, char quote, std::string& word) {
    if (i == command.size()) return false;
    if (quote == '"' && !EscapableInDoubleQuotes(command[i])) word += '\\';
    word += command[i];
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

}  // namespace

std::vector<std::string> SplitCommandWords(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < command.size(); ++i) {
        char c = command[i];
        if (quote == '\'' && c != '\'') {
            word += c;
        } else if (c == '\\' && quote != '\'') {
            if (!TakeEscaped(command, ++i, quote, word)) return {};
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (quote == 0 && (c == '\'' || c == '"')) {
            quote = c;
        } else if (quote == 0 && IsBlank(c)) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        } else {
            word += c;
        }
        inWord = true;
    }
    if (quote != 0) return {};
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::vector<std::vector<std::string>> DefaultEditorCommands() {
    std::vector<std::vector<std::string>> commands;
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(name);
        if (!value) continue;
        std::vector<std::string> words = SplitCommandWords(value);
        if (!words.empty()) commands.push_back(std::move(words));
    }
    commands.push_back({"xdg-open"});
    return commands;
}

bool StartDefaultEditor(const std::string& path) {
    for (const std::vector<std::string>& command : DefaultEditorCommands())
        if (StartDetached(command, path)) return true;
    return false;
}

}  // namespace ts
