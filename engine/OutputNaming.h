#pragma once

#include <QString>

// Names the file a task writes: the input's base name and the chosen container as extension in
// the output folder, with "_Converted" and then "_<n>" added only when the name is taken; and
// reads the output folder's text.
namespace OutputNaming {

// Returns folder/base.extension, or folder/base_Converted.extension, or the first free
// folder/base_Converted_<n>.extension for n from 0 to 10000 (base already ending in
// "_Converted" goes straight to the numbered names), or an empty text when every name is taken.
// `base` is the input's file name without its last extension; the extension is used as given
// (an upper-case container gives an upper-case extension). A name counts as taken when anything
// of that name exists in the folder: a file, a folder, or a link, even a dangling one, so that
// the encoder never writes through a link or into a folder's place.
//
// Every name fits the file system's limit (FittingName): a long base name is shortened, its
// "_Converted", number and extension kept whole.
//
// While trying the numbered names the user interface processes its pending events twice per
// name (Platform::ProcessEvents). The folder must already exist; paths use "/".
QString FreeOutputName(const QString& folder, const QString& inputPath, const QString& extension);

// The longest name of a file within a folder, in bytes of the file system's encoding.
inline constexpr qsizetype NameLimit = 255;

// `stem` + `ending` when that fits in NameLimit bytes, else the longest start of `stem` that
// ends at a character boundary and fits with `ending` after it (only `ending` when no start
// does; the whole name when even `ending` is too long).
QString FittingName(const QString& stem, const QString& ending);

// The output folder as the user typed it, with a leading "~" or "~/" standing for the home
// folder; any other text as it is.
QString FolderPath(const QString& folderText);

// Whether anything of that name exists (a dangling link included).
bool NameTaken(const QString& path);

} // namespace OutputNaming
