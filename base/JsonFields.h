#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

// Reading the fields of a JSON file a person may have edited: each fault is
// a FieldFault naming the field by its path ("soils[0].bank.density"), which
// the reader turns into its one tagged line with the file's name.
struct FieldFault {
    std::string field, fault;
};

// The span a field's number may take.
struct FieldRange {
    double low, high;
};

// object[key], or a "missing" fault; `field` is the path down to object.
const nlohmann::json& fieldMember(const nlohmann::json& object, const std::string& key, const std::string& field);
// A finite number within the range.
double fieldNumber(const nlohmann::json& object, const std::string& key, const std::string& field, FieldRange range);
// A text of 1 to `most` bytes.
std::string fieldText(const nlohmann::json& object, const std::string& key, const std::string& field,
                      size_t most = 2000);
