// A small JSON writer for the namedir tool: objects and arrays nested by
// begin/end calls, two-space indentation, strings escaped.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void beginObject(const char* key = nullptr) { open(key, '{'); }
    void endObject() { close('}'); }
    void beginArray(const char* key = nullptr) { open(key, '['); }
    void endArray() { close(']'); }

    void string(const char* key, const std::string& value) {
        item(key);
        quote(value);
    }
    void number(const char* key, long long value) {
        item(key);
        out_ += std::to_string(value);
    }
    void boolean(const char* key, bool value) {
        item(key);
        out_ += value ? "true" : "false";
    }
    void null(const char* key) {
        item(key);
        out_ += "null";
    }

  private:
    void open(const char* key, char bracket) {
        item(key);
        out_ += bracket;
        first_.push_back(true);
    }
    void close(char bracket) {
        bool empty = first_.back();
        first_.pop_back();
        if (!empty) newline();
        out_ += bracket;
        if (first_.empty()) out_ += '\n';
    }
    void item(const char* key) {
        if (!first_.empty()) {
            if (!first_.back()) out_ += ',';
            first_.back() = false;
            newline();
        }
        if (key) {
            quote(key);
            out_ += ": ";
        }
    }
    void newline() {
        out_ += '\n';
        out_.append(2 * first_.size(), ' ');
    }
    void quote(const std::string& s) {
        out_ += '"';
        for (unsigned char c : s) {
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += char(c);
            } else if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out_ += esc;
            } else {
                out_ += char(c);
            }
        }
        out_ += '"';
    }

    std::string& out_;
    std::vector<bool> first_; // per open level: nothing written in it yet
};
