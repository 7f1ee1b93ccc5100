#pragma once

#include <QIODevice>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Guard;
class MessageListModel;
class QWidget;
class RecordStore;

enum class SaveMethod { None, SeparateFiles, OneFile };

// The walk of a download: every checked row of the list, first to last, is written from the
// record at its position, either into a file of its own or as a block of "Emails.txt" in the
// output folder. Before each row it lets pending window input run and then honours a stop
// request. A folder that is missing or not writable, or a file that cannot be opened or fully
// written, ends the walk with one box naming the folder or file and the system's reason; the files
// written before stay as they are.
// Nothing saved is ever destroyed: each file is written under a hidden temporary name in its
// folder and, once complete, linked to the first free one of its names (a link never replaces a
// file, even one that appeared while it was written): the name itself, then " (2)", " (3)", ...
// before ".txt". When a file under one of the names before it already holds the same bytes, the
// new one is dropped instead. Before the run ends, the files saved and their folders' entries are
// flushed to the disk. "Emails.txt" is written block by block as the walk goes, so a download
// needs no more memory for ten thousand messages than for ten.
class Download {
public:
    enum class Outcome {
        Finished,
        Stopped,
        Failed,
        Cut // the list was emptied during the walk, before its end
    };

    // Hands out the device for a new temporary file's path, not yet open (by default a QFile).
    // The download opens it write-only, as a new file, and closes it when complete.
    using DeviceFactory = std::function<std::unique_ptr<QIODevice>(const QString& path)>;

    // Boxes belong to window; unexpected failures of single statements go to guard, which numbers
    // them as the statements of the download command.
    Download(const MessageListModel& list, const RecordStore& records, Guard& guard,
             QWidget* window);

    // Lets pending window input run; once before every row.
    std::function<void()> yield;
    // Told before each checked row is saved: its number among the rows checked when the run
    // started, and how many those are.
    std::function<void(qint32 number, qint32 total)> progress;
    DeviceFactory openDevice;
    // When set, a checked row it answers true for is passed over as saved before, like an
    // unchecked one.
    std::function<bool(int position)> savedBefore;
    // When set, told of each row saved, with the name of the file in the folder that holds it,
    // once that file is complete.
    std::function<void(int position, const QString& fileName)> saved;

    // The output folder is read each time a file is opened, and stopRequested before every row: a
    // click handled during a yield may change either.
    using FolderSource = std::function<QString()>;
    Outcome run(const FolderSource& folder, SaveMethod method, const bool& stopRequested);

    // Rows whose message could not be read back, each told in an error report and skipped.
    qint32 skipped() const { return skipped_; }

    // The folder text and a file name joined with the platform's separator, the folder unchanged.
    static QString pathOf(const QString& folder, const QString& fileName);

private:
    // A path removed when the object goes, unless it was removed before.
    class TemporaryName {
    public:
        TemporaryName() = default;
        explicit TemporaryName(QString path) : path_(std::move(path)) {}
        TemporaryName(TemporaryName&& other) noexcept;
        TemporaryName& operator=(TemporaryName&& other) noexcept;
        ~TemporaryName();
        const QString& path() const { return path_; }

    private:
        QString path_;
    };

    // A file being written under its temporary name, and the name it is to take.
    struct Output {
        QString folder;
        QString fileName;
        QString path; // the name it was saved under, once finished
        TemporaryName temporary;
        std::unique_ptr<QIODevice> device; // open, on the temporary name
        qint64 notWrittenBack = 0;         // bytes written since the write-back was started
    };

    Outcome separateFiles(const FolderSource& folder, const bool& stopRequested);
    Outcome oneFile(const QString& folder, const bool& stopRequested);
    bool folderUsable(const QString& folder);
    void tell(const QString& text);
    // The path of the file that holds the bytes; nothing when they could not be saved.
    std::optional<QString> save(const QString& folder, const QString& fileName,
                                const QByteArray& bytes);
    std::optional<Output> begin(const QString& folder, const QString& fileName);
    // Gives the file its name, unless a file of one of its names already holds the same bytes;
    // the output's path is then the name that holds them.
    bool finish(Output& output);
    bool passedOver(int position) const;
    // The files this run saved, and their folders' entries, onto the disk.
    bool makeDurable();
    std::unique_ptr<QIODevice> openForWriting(const QString& devicePath);
    bool write(QIODevice& device, const QByteArray& bytes);
    bool write(Output& output, const QByteArray& bytes);
    bool close(QIODevice& device);
    void reportFileFailure(const QIODevice& device);
    void reportFileFailure(const QString& path, const QString& reason);
    // Position i of the walk is still a row of the list (another command may empty it meanwhile).
    bool rowExists(int position) const;
    // Whether row i was checked when the run started: check marks changed during the run's
    // yields do not change what it saves.
    bool checkedAtStart(int position) const;

    const MessageListModel& list_;
    const RecordStore& records_;
    Guard& guard_;
    QPointer<QWidget> window_;
    // The file being written, which a failure names by the first name free for it.
    QString currentFolder_;
    QString currentFileName_;
    QStringList saved_; // the files this run added
    void tellProgress();

    QList<bool> checkedAtStart_; // by position - 1
    qint32 checkedCount_ = 0;
    qint32 reached_ = 0; // checked rows the walk has come to
    qint32 skipped_ = 0;
};
