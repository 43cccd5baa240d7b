#pragma once

#include <QString>

// Names the file a task writes: the input's base name and the chosen container as extension in
// the output folder, with "_Converted" and then "_<n>" added only when the name is taken.
namespace OutputNaming {

// Returns folder/base.extension, or folder/base_Converted.extension, or the first free
// folder/base_Converted_<n>.extension for n from 0 to 10000 (base already ending in
// "_Converted" goes straight to the numbered names), or an empty text when every name is taken.
// `base` is the input's file name without its last extension; the extension is used as given
// (an upper-case container gives an upper-case extension). A name counts as taken when anything
// of that name exists in the folder: a file, a folder, or a link, even a dangling one, so that
// the encoder never writes through a link or into a folder's place.
//
// While trying the numbered names the user interface processes its pending events twice per
// name (Platform::ProcessEvents). The folder must already exist; paths use "/".
QString FreeOutputName(const QString& folder, const QString& inputPath, const QString& extension);

// Whether anything of that name exists (a dangling link included).
bool NameTaken(const QString& path);

} // namespace OutputNaming
