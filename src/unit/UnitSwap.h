#pragma once
#include <QString>

class ConfigImage;
class SerialLink;
class MonitorExchange;
class MessageSink;
class FileDialogs;

// Keeps one unit's data to that unit when another answers on the same port: asks before unwritten
// edits give way to the new unit's configuration, and before the monitoring journal of the old unit
// is started anew (a write into another unit is asked about by the write itself). Widget-free: questions
// go through the message sink, the journal's file through the file dialogs.
class UnitSwap {
public:
    inline static const QString kOtherUnitWithEdits = QStringLiteral(
        "Подключено другое устройство: \"%2\".\n"
        "В памяти программы конфигурация устройства \"%1\" с изменениями, не записанными в него.\n"
        "Прочитать конфигурацию устройства \"%2\"? Изменения будут потеряны.\n"
        "\"Нет\": оставить изменения, конфигурация устройства \"%2\" не читается.");
    inline static const QString kJournalOfOtherUnit = QStringLiteral(
        "Подключено другое устройство: \"%3\". Журнал мониторинга устройства \"%1\" (строк: %2) "
        "начинается заново.\nСохранить журнал устройства \"%1\" в файл?");

    // ReadNewUnit: nothing stands in the way of reading it (no edits); EditsDropped: the user chose to
    // read it over the edits; EditsKept: the edits stay and the unit is not read.
    enum class Outcome { SameUnit, ReadNewUnit, EditsDropped, EditsKept };

    UnitSwap(ConfigImage &image, const SerialLink &link, MonitorExchange &monitor, MessageSink &messages,
             FileDialogs &dialogs, const QString &folder);

    // A unit has just answered. The old unit's journal is offered for saving and a new one starts;
    // an image of another unit holding unwritten edits makes a question: yes drops the edits
    // (the caller reads the new unit), no keeps them, and so does a yes for a unit that went away
    // while the question was open.
    Outcome unitIdentified();
    // The image was read from another unit than the one answering now, which has a name.
    bool imageOfOtherUnit() const;
    // ... or was read from one of the same name before the unit answering now was last found.
    bool imageNotOfThisUnit() const;

private:
    void keepJournalToOneUnit(const QString &unit);

    ConfigImage &m_image;
    const SerialLink &m_link;
    MonitorExchange &m_monitor;
    MessageSink &m_messages;
    FileDialogs &m_dialogs;
    QString m_folder;
    QString m_editsKeptFor;   // the unit the user chose not to read over the edits
};
