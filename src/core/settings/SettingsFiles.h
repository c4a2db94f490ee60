#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QByteArray>
#include <QString>

// Settings data files (.bin) and the save offer, over the program-wide state.
class SettingsFiles
{
public:
    enum class Form { TwoBlock, ThreeBlock, Record };

    SettingsFiles(AppState &state, UserPrompts &prompts) : m_state(state), m_prompts(prompts) {}

    // Pure file logic, no prompts.
    static Form formForLength(qint64 length);
    static QByteArray buildFile(const SettingsImage &image, int blocks); // 2 -> 260 bytes, 3 -> 390
    // Reads a file of the given form into image (blocks cleared first). False when unreadable.
    static bool readFile(const QString &path, Form form, SettingsImage &image);
    static qint64 FileLength(const QString &path);
    static bool FileExists(const QString &path);
    static QString FileNameOf(const QString &path);

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
    bool loadForm(const QString &path, bool noAsk, Form form);

    AppState &m_state;
    UserPrompts &m_prompts;
};
