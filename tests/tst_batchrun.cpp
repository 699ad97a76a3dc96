// Placeholder while the model's tests are written.
#include <QTest>
class BatchRunTest : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};
QTEST_MAIN(BatchRunTest)
#include "tst_batchrun.moc"
