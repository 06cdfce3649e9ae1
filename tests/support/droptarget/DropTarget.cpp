// A window that accepts any drop and writes what it received to a file: one
// line per MIME type with the size of its data, then the dropped URLs. The
// quick-access journey drags the panel's thumbnail onto it.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QSaveFile>
#include <QWidget>

namespace
{
class DropTarget : public QWidget
{
  public:
    explicit DropTarget(QString record) : m_record(std::move(record))
    {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("zorv-drop-target"));
        resize(300, 200);
    }

  protected:
    void dragEnterEvent(QDragEnterEvent *event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent *event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent *event) override
    {
        QByteArray text;
        const QMimeData *data = event->mimeData();
        for (const QString &format : data->formats())
            text += format.toUtf8() + ' ' + QByteArray::number(data->data(format).size()) + '\n';
        for (const QUrl &url : data->urls())
            text += "url " + url.toString().toUtf8() + '\n';
        // Written whole, so that the journey never reads half a record.
        QSaveFile file(m_record);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(text);
            file.commit();
        }
        event->acceptProposedAction();
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), QColor(240, 200, 60));
    }

  private:
    QString m_record;
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    DropTarget target(QString::fromLocal8Bit(argv[1]));
    if (argc >= 4)
        target.move(QString::fromLatin1(argv[2]).toInt(), QString::fromLatin1(argv[3]).toInt());
    target.show();
    return app.exec();
}
