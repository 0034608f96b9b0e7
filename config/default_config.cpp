#include "config/default_config.h"

#include "config/config_values.h"

#include <initializer_list>
#include <utility>

namespace vellumark {

namespace {

using Attributes = std::initializer_list<std::pair<std::string_view, std::string>>;

void AppendTag(std::string& out, std::string_view indent, std::string_view name, Attributes attributes,
               bool empty)
{
    out += indent;
    out += '<';
    out += name;
    for (const auto& [key, value] : attributes) {
        out += ' ';
        out += key;
        out += "=\"";
        out += value;
        out += '"';
    }
    out += empty ? "/>" : ">";
}

void AppendEndTag(std::string& out, std::string_view indent, std::string_view name)
{
    out += indent;
    out += "</";
    out += name;
    out += '>';
}

}  // namespace

std::string DefaultConfigText()
{
    std::string out = R"(<?xml version="1.0" encoding="utf-8"?>)";
    AppendTag(out, "", "config", {{"versionNo", std::string(kConfigVersion)}}, false);
    AppendTag(out, "\t", "frame",
              {{"max", FormatBoolean(true)},
               {"left", FormatInteger(0)},
               {"top", FormatInteger(0)},
               {"height", FormatInteger(600)},
               {"width", FormatInteger(800)}},
              false);
    AppendTag(out, "\t\t", "plLeft",
              {{"width", FormatInteger(308)},
               {"col1", FormatInteger(127)},
               {"col2", FormatInteger(106)},
               {"col3", FormatInteger(76)}},
              true);
    AppendTag(out, "\t\t", "plHint",
              {{"height", FormatInteger(262)}, {"col1", FormatInteger(139)}, {"col2", FormatInteger(139)}}, true);
    AppendEndTag(out, "\t", "frame");
    AppendTag(out, "\t", "nodes", {}, false);
    for (const DefaultColumn& column : kDefaultColumns) {
        AppendTag(out, "\t\t", "node",
                  {{"Name", std::string(column.name)},
                   {"Visible", FormatBoolean(column.visible)},
                   {"Index", FormatInteger(column.index)},
                   {"DefaultExport", FormatBoolean(column.defaultExport)},
                   {"Width", FormatInteger(column.width)},
                   {"ReadOnly", FormatBoolean(column.readOnly)},
                   {"Align", std::string(column.align)}},
                  true);
    }
    AppendEndTag(out, "\t", "nodes");
    AppendEndTag(out, "", "config");
    return out;
}

}  // namespace vellumark
