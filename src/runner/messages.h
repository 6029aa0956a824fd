// The runner's own failure messages while loading and preparing a game, exactly as shown.
#pragma once

namespace tb::msg {

inline constexpr const char* kCannotRead = "Error: Cannot read the game file.";
inline constexpr const char* kNotGameFile = "Error: Not a valid game file.";
inline constexpr const char* kWrongVersion = "Error: Wrong version number.";
inline constexpr const char* kResourceData = "Error: Error in resource data.";
inline constexpr const char* kGraphicsLibrary = "Error: Failed to initialize D3DX.";
inline constexpr const char* kExtensionLoad = "Error in loading extension packages.";
inline constexpr const char* kCorrupted = "Failed to load the game data. File seems corrupted.";
inline constexpr const char* kExtract = "Failed to extract the included files.";
inline constexpr const char* kPrepareExtensions = "Failed to prepare extension packages.";
inline constexpr const char* kConstants = "Failed to define the constants.";
inline constexpr const char* kCompileScripts = "Failed to compile the scripts.";
inline constexpr const char* kCompileTimeLines = "Failed to compile the actions in the time lines.";
inline constexpr const char* kCompileObjects = "Failed to compile the actions in the objects.";
inline constexpr const char* kPrepareSounds = "Failed to prepare the sounds.";
inline constexpr const char* kUnexpected = "Unexpected error occured when running the game.";
inline constexpr const char* kLocateAction = "Failed to locate action function ";

}  // namespace tb::msg
