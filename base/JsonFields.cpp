#include "base/JsonFields.h"

#include <cmath>
#include <cstdio>

using nlohmann::json;

namespace {

std::string figure(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

const json& fieldMember(const json& object, const std::string& key, const std::string& field)
{
    if (!object.is_object() || !object.contains(key))
        throw FieldFault{field + key, "missing"};
    return object.at(key);
}

double fieldNumber(const json& object, const std::string& key, const std::string& field, FieldRange range)
{
    const json& v = fieldMember(object, key, field);
    if (!v.is_number() || !std::isfinite(v.get<double>()))
        throw FieldFault{field + key, "not a number"};
    const double d = v.get<double>();
    if (d < range.low || d > range.high)
        throw FieldFault{field + key, "must be from " + figure(range.low) + " to " + figure(range.high)};
    return d;
}

std::string fieldText(const json& object, const std::string& key, const std::string& field, size_t most)
{
    const json& v = fieldMember(object, key, field);
    if (!v.is_string() || v.get<std::string>().empty())
        throw FieldFault{field + key, "not a text"};
    if (v.get<std::string>().size() > most)
        throw FieldFault{field + key, "longer than " + std::to_string(most) + " bytes"};
    return v.get<std::string>();
}
