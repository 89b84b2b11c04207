// entry, for CLAP files: the library and its one export, the entry's counted init and deinit, the
// factories it offers and refuses, and each plug-in's descriptor.
#include "clap/ClapSubject.h"
#include "hosting/PluginFormat.h"

#include <dlfcn.h>

#include <cstring>
#include <set>
#include <string>

namespace zhost::validate {

namespace {

bool Empty(const char* text) {
  return !text || !*text;
}

void File(Context& context) {
  context.Step("dlopen with RTLD_NOW");
  void* library = dlopen(LibraryLoadPath(context.Location()).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library)
    context.Abort(std::string("dlopen: ") + dlerror());
  const auto* entry = static_cast<const clap_plugin_entry*>(dlsym(library, "clap_entry"));
  if (!entry) {
    dlclose(library);
    context.Abort("clap_entry is not exported");
  }
  if (entry->clap_version.major < 1)
    context.Fail("the entry's interface version " + std::to_string(entry->clap_version.major) +
                 "." + std::to_string(entry->clap_version.minor) + " is not a released one");
  if (!entry->init || !entry->deinit || !entry->get_factory) {
    dlclose(library);
    context.Abort("the entry lacks init, deinit or get_factory");
  }
  context.Step("init twice, the factories, deinit twice and once more");
  if (!entry->init(context.Location().c_str()) || !entry->init(context.Location().c_str()))
    context.Fail("init answered false");
  const void* first = entry->get_factory(CLAP_PLUGIN_FACTORY_ID);
  if (!first)
    context.Fail("no plug-in factory (\"clap.plugin-factory\")");
  entry->deinit();
  if (entry->get_factory(CLAP_PLUGIN_FACTORY_ID) != first)
    context.Fail("the plug-in factory changed after one of two deinits");
  for (const char* id : {"clap.plugin-factory.", "clap.plugin-factor", "zintrax.no-factory"})
    if (entry->get_factory(id))
      context.Fail(std::string("get_factory(\"") + id + "\") answered a factory");
  entry->deinit();
  entry->deinit(); // one more than the inits: does nothing
  dlclose(library);
}

void Factory(Context& context) {
  const ClapSubject subject(context.Location());
  const clap_plugin_factory& factory = subject.library.Factory();
  const uint32_t count = factory.get_plugin_count(&factory);
  if (factory.get_plugin_descriptor(&factory, count))
    context.Fail("get_plugin_descriptor(" + std::to_string(count) + ") answered a descriptor");
  std::set<std::string> ids;
  for (const clap_plugin_descriptor* d : subject.library.Plugins()) {
    const std::string id = Empty(d->id) ? "" : d->id;
    if (!ids.insert(id).second)
      context.Fail("two plug-ins have the id " + Printable(id));
    clap_host host{};
    host.clap_version = CLAP_VERSION_OURS;
    for (const std::string& wrong : {id + "x", id.substr(0, id.size() - 1), std::string()}) {
      context.Step("create_plugin(%s)", Printable(wrong).c_str());
      if (const clap_plugin* made = factory.create_plugin(&factory, &host, wrong.c_str())) {
        context.Fail("create_plugin made a plug-in for the id " + Printable(wrong));
        made->destroy(made);
      }
    }
  }
}

void Descriptor(Context& context) {
  const ClapSubject subject(context.Location());
  const clap_plugin_descriptor& d = subject.plugin->Descriptor();
  if (subject.plugin->Plugin().desc != subject.library.Plugins().front())
    context.Fail("the instance's desc is not the factory's descriptor");
  if (d.clap_version.major < 1)
    context.Fail("the descriptor's interface version is not a released one");
  if (Empty(d.id) || Empty(d.name))
    context.Fail("the descriptor has no id or no name");
  if (Empty(d.version))
    context.Note("version", "none given");
  static const std::set<std::string> kMain = {"instrument", "audio-effect", "note-effect",
                                              "note-detector", "analyzer"};
  std::set<std::string> features;
  bool main = false;
  for (const char* const* f = d.features; f && *f; ++f) {
    if (!features.insert(*f).second)
      context.Fail(std::string("the feature \"") + *f + "\" is listed twice");
    main = main || kMain.count(*f) > 0;
  }
  if (!main)
    context.Fail("no main category among the features (audio-effect, instrument, ...)");
}

const bool registered =
    Register(PluginFormat::Clap, {"entry.file", File, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"entry.factory", Factory, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"entry.descriptor", Descriptor, {.strictness = 1}});

} // namespace

} // namespace zhost::validate
