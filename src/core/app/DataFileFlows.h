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
    DataFileFlows(AppState &state, UserPrompts &prompts) : m_state(state), m_prompts(prompts) {}

    void SaveDataFile();
    void ExportDataFile();
    bool LoadImageFile(const QString &path, bool noAsk);
    bool LoadDataFile390(const QString &path, bool noAsk);
    bool LoadDataFile260(const QString &path, bool noAsk);
    // Loads by length as at start-up; false when the loader failed.
    bool loadByLength(const QString &path);
    void SnapshotImage();
    void AskSaveChanges();

    // "Загрузить": open dialog, clear, load by length or start "new.bin". The caller refreshes the window.
    void loadFromUser();
    // "Новый" of the data-file dialog. The caller refreshes the window.
    void newDataFile();
    // Clears the three blocks and the description.
    void clearImage();

    // Save dialog rule: ".bin" appended when the answer has no "." at all.
    QString ShowSaveDialog(const QString &folder, const QString &title);

private:
    bool saveForm(int blocks, const QString &title, const QString &existsQuestion, bool appendBin);
    bool loadForm(const QString &path, bool noAsk, SettingsFiles::Form form);

    AppState &m_state;
    UserPrompts &m_prompts;
};
