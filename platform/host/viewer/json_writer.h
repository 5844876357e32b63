// SPDX-License-Identifier: AGPL-3.0-or-later
// A small JSON writer for what the viewer publishes to its page: objects,
// arrays, strings, numbers and booleans, written in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vellora::viewer {

// `text` as a JSON string literal; bytes that are not valid UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);
// `text` with every byte that does not begin a UTF-8 sequence written as
// \xHH: a file name as a person can read it.
std::string Utf8OrEscaped(std::string_view text);

class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The name of the next member of an object.
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
    JsonWriter& value(int64_t number);
    JsonWriter& value(int number) { return value(static_cast<int64_t>(number)); }
    JsonWriter& value(double number);
    JsonWriter& value(bool flag);
    JsonWriter& null();
    // Already written JSON, as one value.
    JsonWriter& raw(std::string_view json);

    const std::string& text() const { return out_; }

private:
    void separate();
    std::string out_;
    bool first_ = true;  // no value yet in the object or array being written
};

}  // namespace vellora::viewer
