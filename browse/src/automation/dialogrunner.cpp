#include "dialogrunner.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

#include "namebrowse.h"
#include "texts.h"

namespace browse {

namespace {

class ScreenRunner : public DialogRunner {
  public:
    QString runSingle(const QString& title, const QString& avdPath) override {
        QByteArray t = title.toUtf8(), p = avdPath.toUtf8();
        char name[QRD_BROWSE_NAME_LEN] = {};
        unsigned length = sizeof name;
        int result = 0;
        QRDSTATUS s =
            QrdDlgBrowseNmdaSingleSelect(0, t.constData(), &result, name, &length, p.constData());
        return s == QRD_OK && result == QRD_BROWSE_OK ? QString::fromUtf8(name) : QString();
    }

    bool configure(BrowserSettings& settings) override {
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("configureBrowser"));
        dialog.setWindowTitle(QString::fromLatin1(texts::kConfigureTitle));
        auto* single = new QRadioButton(QString::fromLatin1(texts::kSingle));
        single->setObjectName(QStringLiteral("single"));
        auto* multiple = new QRadioButton(QString::fromLatin1(texts::kMultiple));
        multiple->setObjectName(QStringLiteral("multiple"));
        (settings.single ? single : multiple)->setChecked(true);
        auto* selection = new QGroupBox(QString::fromLatin1(texts::kSelection));
        auto* row = new QHBoxLayout(selection);
        row->addWidget(single);
        row->addWidget(multiple);
        auto* title = new QLineEdit(settings.title);
        title->setObjectName(QStringLiteral("browserTitle"));
        title->setAccessibleName(QString::fromLatin1(texts::kBrowserTitleLabel));
        auto* path = new QLineEdit(settings.avdPath);
        path->setObjectName(QStringLiteral("avdPath"));
        path->setAccessibleName(QString::fromLatin1(texts::kAvdPathLabel));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        auto* form = new QFormLayout(&dialog);
        form->addRow(selection);
        form->addRow(QString::fromLatin1(texts::kBrowserTitleLabel), title);
        form->addRow(QString::fromLatin1(texts::kAvdPathLabel), path);
        form->addRow(buttons);
        if (dialog.exec() != QDialog::Accepted) return false;
        settings.single = single->isChecked();
        settings.title = title->text();
        settings.avdPath = path->text();
        return true;
    }
};

class PickRunner : public DialogRunner {
  public:
    PickRunner(QString name, QString recordFile)
        : name_(std::move(name)), recordFile_(std::move(recordFile)) {}
    QString runSingle(const QString& title, const QString& avdPath) override {
        record(QStringList{"run-browser", title, avdPath, "single"});
        return name_;
    }
    bool configure(BrowserSettings&) override {
        record(QStringList{"configure"});
        return false;
    }

  private:
    void record(const QStringList& fields) {
        if (recordFile_.isEmpty()) return;
        QFile file(recordFile_);
        if (file.open(QIODevice::Append | QIODevice::Text))
            file.write((fields.join('\t') + '\n').toUtf8());
    }
    QString name_;
    QString recordFile_;
};

} // namespace

std::unique_ptr<DialogRunner> screenRunner() {
    return std::make_unique<ScreenRunner>();
}

std::unique_ptr<DialogRunner> pickRunner(const QString& name, const QString& recordFile) {
    return std::make_unique<PickRunner>(name, recordFile);
}

} // namespace browse
