#include "formats/lv2/Lv2Turtle.h"

#include "formats/lv2/Lv2Ports.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace {

constexpr const char* kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                                  "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                                  "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                                  "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                                  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                  "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                                  "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                  "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                                  "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                                  "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// A single-precision value as a Turtle decimal that reads back as the same float.
std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  std::string s = text;
  if (s.find_first_of(".eEn") == std::string::npos)
    s += ".0";
  return s;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string PresetUri(size_t program) {
  return std::string(kLv2PluginUri) + "#preset" + std::to_string(program);
}

// The LV2 unit of a parameter's unit text; a unit LV2 does not name is described in place.
std::string Unit(const std::string& units) {
  static const std::pair<const char*, const char*> kKnown[] = {
      {"cm", "units:cm"}, {"Hz", "units:hz"}, {"ms", "units:ms"}, {"s", "units:s"},
      {"dB", "units:db"}, {"%", "units:pc"},  {"m", "units:m"},
  };
  for (const auto& [text, unit] : kKnown)
    if (units == text)
      return unit;
  return "[ a units:Unit ; rdfs:label " + Quoted(units) + " ; units:symbol " + Quoted(units) +
         " ; units:render " + Quoted("%f " + units) + " ]";
}

void AudioPort(std::ostream& out, uint32_t index, bool input, uint32_t channel) {
  const char* side = input ? "in" : "out";
  out << "    [ a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort")
      << " ;\n      lv2:index " << index << " ;\n      lv2:symbol \"" << side << "_" << channel + 1
      << "\" ;\n      lv2:name \"" << (input ? "Input " : "Output ") << channel + 1 << "\" ]";
}

} // namespace

std::string Lv2Symbol(const std::string& name) {
  std::string symbol;
  for (unsigned char c : name)
    symbol += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '_';
  if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol.front())))
    symbol = "_" + symbol;
  return symbol;
}

TLv2Bundle Lv2BundleText(const TModuleDescription& d, const std::string& dspBinary,
                         const std::string& uiBinary) {
  const std::string plugin = std::string("<") + kLv2PluginUri + ">";
  const std::string ui = std::string("<") + kLv2UiUri + ">";
  TLv2Bundle bundle;

  std::ostringstream manifest;
  manifest << kPrefixes << plugin << "\n  a lv2:Plugin ;\n  lv2:binary <" << dspBinary
           << "> ;\n  rdfs:seeAlso <" << kLv2PluginFile << "> .\n";
  if (d.HasEditor)
    manifest << "\n"
             << ui << "\n  a ui:X11UI ;\n  ui:binary <" << uiBinary << "> ;\n  rdfs:seeAlso <"
             << kLv2PluginFile << "> .\n";
  for (size_t p = 0; p < d.Programs.size(); ++p)
    manifest << "\n<" << PresetUri(p) << ">\n  a pset:Preset ;\n  lv2:appliesTo " << plugin
             << " ;\n  rdfs:seeAlso <" << kLv2PresetsFile << "> .\n";
  bundle.Manifest = manifest.str();

  std::ostringstream out;
  // LV2 reads an odd minor version as a development release.
  out << kPrefixes << plugin
      << "\n  a lv2:Plugin , lv2:SimulatorPlugin , doap:Project ;\n  doap:name " << Quoted(d.Name)
      << " ;\n  doap:maintainer [ foaf:name " << Quoted(d.Vendor) << " ] ;\n  lv2:minorVersion "
      << 2 * d.VendorVersion << " ;\n  lv2:microVersion 0 ;\n  lv2:project [ doap:name "
      << Quoted(d.Product)
      << " ] ;\n  lv2:optionalFeature lv2:hardRTCapable , opts:options , urid:map ;\n"
      << "  opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n";
  if (d.HasEditor)
    out << "  ui:ui " << ui << " ;\n";
  out << "  lv2:port\n";
  uint32_t index = 0;
  for (int32_t c = 0; c < d.Inputs; ++c, ++index) {
    AudioPort(out, index, true, static_cast<uint32_t>(c));
    out << " ,\n";
  }
  for (int32_t c = 0; c < d.Outputs; ++c, ++index) {
    AudioPort(out, index, false, static_cast<uint32_t>(c));
    out << " ,\n";
  }
  for (size_t i = 0; i < d.Parameters.size(); ++i, ++index) {
    const TParameterDescription& p = d.Parameters[i];
    out << "    [ a lv2:InputPort , lv2:ControlPort ;\n      lv2:index " << index
        << " ;\n      lv2:symbol " << Quoted(Lv2Symbol(p.Name)) << " ;\n      lv2:name "
        << Quoted(p.Name) << " ;\n      lv2:default " << Number(p.Default)
        << " ;\n      lv2:minimum " << Number(p.Min) << " ;\n      lv2:maximum " << Number(p.Max);
    if (!p.Units.empty())
      out << " ;\n      units:unit " << Unit(p.Units);
    out << " ] ,\n";
  }
  out << "    [ a lv2:InputPort , lv2:ControlPort ;\n      lv2:index " << index
      << " ;\n      lv2:symbol \"enabled\" ;\n      lv2:name \"Enabled\" ;\n"
      << "      lv2:designation lv2:enabled ;\n      lv2:portProperty lv2:toggled ;\n"
      << "      lv2:default 1 ;\n      lv2:minimum 0 ;\n      lv2:maximum 1 ] .\n";
  if (d.HasEditor)
    out << "\n"
        << ui << "\n  a ui:X11UI ;\n  lv2:requiredFeature ui:idleInterface , ui:parent ;\n"
        << "  lv2:optionalFeature ui:touch , ui:resize , ui:noUserResize , opts:options , urid:map "
           ";\n"
        << "  opts:supportedOption ui:scaleFactor ;\n"
        << "  lv2:extensionData ui:idleInterface , opts:interface .\n";
  bundle.Plugin = out.str();

  std::ostringstream presets;
  presets << kPrefixes;
  for (size_t p = 0; p < d.Programs.size(); ++p) {
    presets << "<" << PresetUri(p) << ">\n  a pset:Preset ;\n  lv2:appliesTo " << plugin
            << " ;\n  rdfs:label " << Quoted(d.Programs[p].Name) << " ;\n  lv2:port";
    for (size_t i = 0; i < d.Parameters.size(); ++i)
      presets << (i ? " ,\n    " : "\n    ") << "[ lv2:symbol "
              << Quoted(Lv2Symbol(d.Parameters[i].Name)) << " ; pset:value "
              << Number(d.Programs[p].Values[i]) << " ]";
    presets << " .\n\n";
  }
  bundle.Presets = presets.str();
  return bundle;
}
