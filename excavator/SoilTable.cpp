#include "excavator/SoilTable.h"

#include <cmath>
#include <fstream>

#include <nlohmann/json.hpp>

#include "base/Fatal.h"
#include "base/JsonFields.h"
#include "base/TextFile.h"

namespace {

using nlohmann::json;
constexpr double kRadians = 3.141592653589793 / 180.0;
constexpr size_t kSoilsMaxBytes = 64 * 1024;  // the generated file is under 2 KiB

double number(const json& object, const std::string& key, const std::string& field, double low, double high)
{
    return fieldNumber(object, key, field, {low, high});
}

std::string text(const json& object, const std::string& key, const std::string& field)
{
    return fieldText(object, key, field, 64);
}

SoilState readState(const json& object, const std::string& field)
{
    SoilState s;
    s.density = number(object, "density", field, 500.0, 3000.0);
    s.cohesion = number(object, "cohesion_kpa", field, 0.0, 500.0) * 1e3;
    s.friction = number(object, "friction_deg", field, 0.0, 50.0) * kRadians;
    s.toolFriction = number(object, "tool_friction_deg", field, 0.0, 45.0) * kRadians;
    s.adhesion = number(object, "adhesion_kpa", field, 0.0, 500.0) * 1e3;
    return s;
}

}  // namespace

SoilTable readSoilTable(const std::string& path)
{
    if (!std::ifstream(path))
        throwFatal("[Soils] " + path + ": cannot be read.");
    SoilTable table;
    try {
        // Read within a limit, as every file the program reads: the parser
        // alone would take a file of any size.
        const json doc = json::parse(readTextFile(path, kSoilsMaxBytes, "Soils"));
        const std::string fallback = text(doc, "default", "");
        if (!doc.contains("soils") || !doc.at("soils").is_array() || doc.at("soils").empty())
            throw FieldFault{"soils", "missing or empty"};
        const json& list = doc.at("soils");
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string f = "soils[" + std::to_string(i) + "].";
            SoilType t;
            t.name = text(list[i], "name", f);
            if (!list[i].is_object() || !list[i].contains("bank") || !list[i].contains("loose"))
                throw FieldFault{f + "bank/loose", "missing"};
            t.bank = readState(list[i].at("bank"), f + "bank.");
            t.loose = readState(list[i].at("loose"), f + "loose.");
            if (findSoil(table, t.name))
                throw FieldFault{f + "name", "'" + t.name + "' twice"};
            table.soils.push_back(t);
        }
        if (!findSoil(table, fallback))
            throw FieldFault{"default", "no soil named '" + fallback + "'"};
        table.defaultName = fallback;
    } catch (const json::exception& fault) {
        throwFatal("[Soils] " + path + ": not a soils file (" + fault.what() + ").");
    } catch (const FieldFault& fault) {
        throwFatal("[Soils] " + path + ": field '" + fault.field + "': " + fault.fault + ".");
    }
    return table;
}

const SoilType* findSoil(const SoilTable& table, const std::string& name)
{
    for (const SoilType& s : table.soils)
        if (s.name == name)
            return &s;
    return nullptr;
}
