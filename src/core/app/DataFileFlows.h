#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"
#include "core/settings/SettingsFiles.h"

#include <QString>

// Loading and saving settings data files over the program-wide state: the dialogs, the questions,
// the snapshot that decides the save offer, and the caption that names the file.
class DataFileFlows
{
public:
    // What came of the save offer.
    enum class SaveOffer {
        Unchanged, // nothing to save: no question asked
        Saved,     // Yes, and the file was written
        Declined,  // No: the edits are let go
        Abandoned  // Cancel, or Yes with nothing written (dialog cancelled, file refused or not
                   // written): the edits stay and so does the operator
    };

    DataFileFlows(AppState &state, UserPrompts &prompts) : m_state(state), m_prompts(prompts) {}

    // Both true when the file was written.
    bool SaveDataFile();
    bool ExportDataFile();
    bool LoadImageFile(const QString &path, bool noAsk);
    bool LoadDataFile390(const QString &path, bool noAsk);
    bool LoadDataFile260(const QString &path, bool noAsk);
    // Loads by length as at start-up; false when the loader failed.
    bool loadByLength(const QString &path);
    void SnapshotImage();
    SaveOffer AskSaveChanges();

    // "Загрузить": open dialog, the save offer for unsaved edits, then clear and load by length (or start
    // "new.bin" for a file that vanished). False when nothing changed: the dialog was cancelled, the
    // path refused, or the save offer abandoned. The caller refreshes the window on true.
    bool loadFromUser();
    // "Новый" of the data-file dialog. The caller refreshes the window.
    void newDataFile();
    // Clears the three blocks and the description.
    void clearImage();

    // Save dialog rule: ".bin" appended when the answer has no "." at all.
    QString ShowSaveDialog(const QString &folder, const QString &title);

private:
    bool saveForm(int blocks, const QString &title, const QString &existsQuestion, bool appendBin);
    bool loadForm(const QString &path, bool noAsk, SettingsFiles::Form form);
    // The snapshot after writing a form of so many blocks.
    void snapshotSaved(int blocks);

    AppState &m_state;
    UserPrompts &m_prompts;
};
