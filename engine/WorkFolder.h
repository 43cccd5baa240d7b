#pragma once

#include <QString>

// The private folder of one cut: a hidden folder made inside the output folder (so the finished
// output is renamed into place on the same file system), holding the output under construction
// and every piece the cut's runs write. It is removed with everything in it when the object
// goes, whatever happened. Its name, ".quenlet-work-<pid>-<start>-<random>", tells which
// running program owns it, so what a killed program left is found and removed later
// (SweepFolder, SweepJournal) and nothing of a running one is touched.
class WorkFolder {
public:
    // Makes the folder inside `folder` (which must exist); Valid() says whether that worked.
    explicit WorkFolder(const QString& folder);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    bool Valid() const { return !path_.isEmpty(); }
    // Why the folder could not be made ("Permission denied", "Read-only file system", ...).
    QString ErrorText() const { return error_; }
    QString Path() const { return path_; }
    // The path of a piece called `name` inside the folder.
    QString Piece(const QString& name) const;

    // Gives `from` the name `to` only if nothing of that name exists, atomically where the file
    // system allows it. Returns 0, or the errno of the failure (EEXIST when the name is taken).
    static int MoveNoReplace(const QString& from, const QString& to);

    // Removes the work folders inside `folder` whose programs no longer run.
    static void SweepFolder(const QString& folder);
    // Where each work folder is noted while it exists (a folder of links, one per work folder,
    // in the settings store), so that the next start can sweep what a killed program left
    // wherever it wrote. Empty (the default): nothing is noted.
    static void SetJournal(const QString& journalFolder);
    // Removes every noted work folder whose program no longer runs, and its note.
    static void SweepJournal();

private:
    QString path_;
    QString note_; // the journal's link for this folder, if any
    QString error_;
};
