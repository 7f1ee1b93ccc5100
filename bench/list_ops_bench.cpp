// Cost of the message list's hot paths at large sizes, with the list shown: listing messages
// through the listing handler (one yield each) with the longest of them, the window's longest
// stall, one check-box click with its counter update, and Check All. Run under the offscreen
// platform: QT_QPA_PLATFORM=offscreen ./list_ops_bench [rows]

#include "base/Conversions.h"
#include "list/ListCounters.h"
#include "list/ListOwner.h"
#include "list/ListingHandler.h"
#include "list/MessageListView.h"
#include "list/RecordStore.h"
#include "list/SelectionCommands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

class BenchWindow : public QWidget, public ListOwner {
public:
    BenchWindow() {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(filter);
        layout->addWidget(view);
        layout->addWidget(total);
        layout->addWidget(selected);
        view->setColumnWidthsInTwips({1300, 1300, 1600, 1600, 1600, 0});
        QObject::connect(view, &MessageListView::ItemCheck, this,
                         [this](int) { ListCounters::update(*this, false); });
    }

    QWidget* listWindow() override { return this; }
    MessageListModel& ownedList() override { return view->list(); }
    QLabel* totalLabel() override { return total; }
    QLabel* selectedLabel() override { return selected; }
    bool& checkSearchActive() override { return flag; }

    QLineEdit* filter = new QLineEdit(this);
    MessageListView* view = new MessageListView(this);
    QLabel* total = new QLabel(this);
    QLabel* selected = new QLabel(this);
    bool flag = false;
};

struct Listed {
    double ms = 0;
    double longestMs = 0; // the longest message, its yield (and what the view did in it) included
};

Listed listMessages(BenchWindow& window, RecordStore& records, int count) {
    const QString date = Conversions::dateTimeText(QDateTime(QDate(2015, 2, 19), QTime(9, 30)));
    MessageRecord message;
    message.FromName = QStringLiteral("Sender Name");
    message.FromAddress = QStringLiteral("sender@example.org");
    message.ReceivedDate = date;
    message.PlainTextBody = QString(2000, u'x');
    Listed listed;
    QElapsedTimer timer;
    timer.start();
    qint64 last = 0;
    for (int i = 1; i <= count; ++i) {
        message.From = QStringLiteral("Sender %1 <sender@example.org>").arg(i);
        message.Subject = QStringLiteral("Subject of message %1").arg(i);
        addListedMessage(&window, *window.filter, window.ownedList(), records, message);
        const qint64 now = timer.nsecsElapsed();
        listed.longestMs = std::max(listed.longestMs, double(now - last) / 1e6);
        last = now;
    }
    listed.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return listed;
}

template <class Step> double timed(Step&& step) {
    QElapsedTimer timer;
    timer.start();
    step();
    QCoreApplication::processEvents(); // include the repaint the change causes
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    BenchWindow window;
    window.resize(1000, 700);
    window.show();
    RecordStore records;
    records.recreate(rows);

    const Listed first = listMessages(window, records, 10000);
    const Listed rest = listMessages(window, records, rows - 10000);
    const double all = first.ms + rest.ms;
    std::printf("list 10000 messages (one yield each): %.0f ms (%.1f us/message)\n", first.ms,
                first.ms * 1000 / 10000);
    std::printf("list %d messages in all: %.0f ms (%.1f us/message); the longest message with "
                "its yield: %.1f ms\n",
                rows, all, all * 1000 / rows, std::max(first.longestMs, rest.longestMs));

    MessageListModel& list = window.ownedList();
    list.publishRows();
    QCoreApplication::processEvents();
    const QModelIndex middle = list.index(rows / 2, 0);
    const double toggle = timed([&] { list.setData(middle, Qt::Checked, Qt::CheckStateRole); });
    const QModelIndex top = list.index(0, 0);
    const double visible = timed([&] { list.setData(top, Qt::Checked, Qt::CheckStateRole); });
    std::printf("one check-box click with counter update at %d rows: %.3f ms (row %d), %.3f ms "
                "(row 1, visible)\n",
                rows, toggle, rows / 2 + 1, visible);

    const QString location =
        QStringLiteral("in Brastovel2/19/201512/22/2014.Form1.PushButton4_Click ");
    const double checkAll = timed([&] { SelectionCommands::checkAll(window, location); });
    std::printf("Check All at %d rows: %.1f ms (%s)\n", rows, checkAll,
                qPrintable(window.selected->text()));
    return 0;
}
