// Exporting and discarding the game's included files from scripts.
#include "functions/register.h"
#include "runner/game.h"
#include "script/engine.h"

namespace tb {

namespace {

std::string ArgText(int argc, const RValue* args, int i) {
    return i < argc ? args[i].text.str() : std::string();
}

// The engine's context, with secure-mode refusals reported as script errors.
IncludedFileContext ScriptContext(ScriptEngine& engine) {
    IncludedFileContext ctx = engine.files;
    ctx.report_error = [&engine](std::string_view text) { ShowRuntimeError(engine, text, false); };
    return ctx;
}

void Report(ScriptEngine& engine, const std::string& error) {
    if (!error.empty()) ShowRuntimeError(engine, error, false);
}

void export_include_file(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue&,
                         const RValue* args) {
    if (!engine.game) return Report(engine, "Trying to export non-existing file.");
    Report(engine, ExportIncludedFileByName(engine.game->included_files, ArgText(argc, args, 0),
                                            ScriptContext(engine)));
}

void export_include_file_location(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue&,
                                  const RValue* args) {
    if (!engine.game) return Report(engine, "Trying to export non-existing file.");
    Report(engine, ExportIncludedFileToLocation(engine.game->included_files, ArgText(argc, args, 0),
                                                ArgText(argc, args, 1), ScriptContext(engine)));
}

void discard_include_file(ScriptEngine& engine, CInstance*, CInstance*, int argc, RValue&,
                          const RValue* args) {
    if (!engine.game) return Report(engine, "Trying to discard non-existing file.");
    Report(engine, DiscardIncludedFileByName(engine.game->included_files, ArgText(argc, args, 0)));
}

}  // namespace

void RegisterIncludedFileFunctions(FunctionRegistry& r) {
    r.Register("export_include_file", &export_include_file, 1);
    r.Register("export_include_file_location", &export_include_file_location, 2);
    r.Register("discard_include_file", &discard_include_file, 1);
}

}  // namespace tb
