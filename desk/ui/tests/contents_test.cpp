// The contents list's order, its pictures and its model.
#include "commandids.h"
#include "contentsimages.h"
#include "contentsmodel.h"
#include "testmain.h"
#include "treeimages.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using namespace desk::ui;

namespace {

ContentsRow row(const char* name, int kind, const char* description = "") {
    static const char* const kTypes[] = {"", "Folder", "Document", "", "People", "", "", "", "Web"};
    ContentsRow r;
    r.name = QLatin1String(name);
    r.kind = kind;
    r.type = QLatin1String(kind <= 8 ? kTypes[kind] : "Generic");
    r.description = QLatin1String(description);
    return r;
}

QStringList names(const std::vector<ContentsRow>& rows) {
    QStringList out;
    for (const ContentsRow& r : rows)
        out << r.name;
    return out;
}

QStringList namesOf(const ContentsModel& model) {
    return names(model.rows());
}

} // namespace

class ContentsTest : public QObject {
    Q_OBJECT
  private slots:
    void foldersLeadAndNamesDecideWithinAKind() {
        std::vector<ContentsRow> rows{row("b-doc", kKindDocument, "aaa"),
                                      row("a-doc", kKindDocument, "zzz"),
                                      row("folder", kKindFolder, "mmm")};
        sortRows(rows, SortKey{2, false});
        // By description ascending: the folder still comes first, and two
        // documents are ordered by name, not description.
        QCOMPARE(names(rows), QStringList({"folder", "a-doc", "b-doc"}));
    }

    void otherKindsCompareByTheChosenColumn() {
        std::vector<ContentsRow> rows{row("x", kKindWeb, "b"), row("y", kKindDocument, "c"),
                                      row("z", kKindPeople, "a")};
        sortRows(rows, SortKey{1, false});
        QCOMPARE(names(rows), QStringList({"y", "z", "x"})); // Document, People, Web
        sortRows(rows, SortKey{2, false});
        QCOMPARE(names(rows), QStringList({"z", "x", "y"})); // a, b, c
        sortRows(rows, SortKey{0, false});
        QCOMPARE(names(rows), QStringList({"x", "y", "z"}));
    }

    void namesCompareWithoutCase() {
        std::vector<ContentsRow> rows{row("beta", kKindWeb), row("Alpha", kKindWeb),
                                      row("ALPHA2", kKindWeb)};
        sortRows(rows, SortKey{0, false});
        QCOMPARE(names(rows), QStringList({"Alpha", "ALPHA2", "beta"}));
    }

    void aFreshListIsDescendingByTypeAndHeaderClicksFollowTheRule() {
        ContentsImages images;
        ContentsModel model(images);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRows({row("doc", kKindDocument), row("dir", kKindFolder), row("web", kKindWeb)});
        QCOMPARE(model.sortKey().column, 1);
        QVERIFY(model.sortKey().descending);
        QCOMPARE(namesOf(model), QStringList({"web", "doc", "dir"})); // folders last
        model.chooseSortColumn(1);                                    // the same column flips
        QCOMPARE(namesOf(model), QStringList({"dir", "doc", "web"}));
        model.chooseSortColumn(0); // another column keeps the direction
        QVERIFY(!model.sortKey().descending);
        QCOMPARE(namesOf(model), QStringList({"dir", "doc", "web"}));
        model.chooseSortColumn(0);
        QVERIFY(model.sortKey().descending);
        QCOMPARE(namesOf(model), QStringList({"web", "doc", "dir"}));
        model.removeNodeRow(nullptr); // every row has a null node here: the first goes
        QCOMPARE(model.rowCount(), 2);
    }

    void theModelShowsTheThreeColumns() {
        ContentsImages images;
        ContentsModel model(images);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRows({row("Plans", kKindFolder, "the plans")});
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Name"));
        QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Description"));
        QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("Folder"));
        QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("the plans"));
        QVERIFY(!model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsDragEnabled);
    }

    void documentPicturesShareASlotPerExtension() {
        ContentsImages images;
        const int first = images.count();
        const int a = images.documentSlot(QStringLiteral("report.TXT"));
        QCOMPARE(images.documentSlot(QStringLiteral("notes.txt")), a);
        QCOMPARE(images.count(), first + 1);
        // Every program keeps its own picture.
        const int p1 = images.documentSlot(QStringLiteral("edit.exe"));
        const int p2 = images.documentSlot(QStringLiteral("calc.EXE"));
        QVERIFY(p1 != p2);
        QCOMPARE(images.documentSlot(QStringLiteral("edit.exe")), p1);
        QCOMPARE(images.documentSlot(QStringLiteral("README")), int(ContentsImages::kItem));
        // The extension is what follows the first dot.
        QCOMPARE(ContentsImages::keyOf(QStringLiteral("archive.tar.GZ")), QStringLiteral("tar.gz"));
        QVERIFY(!images.icon(a).isNull());
        // Pictures stay sharp at twice the scale.
        const QPixmap twice = images.icon(a).pixmap(QSize(16, 16), 2.0);
        QCOMPARE(twice.deviceIndependentSize().toSize(), QSize(16, 16));
        QCOMPARE(twice.size(), QSize(32, 32));
    }

    void treePicturesSwapPairsAndMarkModerators() {
        QCOMPARE(insertedImage(false), 2);
        QCOMPARE(insertedImage(true), 6);
        QCOMPARE(swappedImage(2), 0);
        QCOMPARE(swappedImage(0), 2);
        QCOMPARE(swappedImage(30), 28);
        QCOMPARE(swappedImage(3), 3);
        QCOMPARE(moderatorImage(4), 8);
        QCOMPARE(moderatorImage(6), 10);
        QCOMPARE(moderatorImage(24), 24);
    }
};

DESK_TEST_MAIN(ContentsTest)
#include "contents_test.moc"
