#ifndef PARVESTA_TEST_USER_H
#define PARVESTA_TEST_USER_H

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

// What a modal box or save dialog showed.
struct Seen
{
    QString text;     // a box's text
    QString proposed; // the file a save dialog offered
};

// Answers modal windows one after the other, from inside their own event
// loops, as soon as each appears.
class User : public QObject
{
public:
    using Answer = std::function<void(QWidget*)>;

    User()
    {
        connect(&timer, &QTimer::timeout, this, [this] { Look(); });
        timer.start(20);
    }

    void Then(Answer answer) { answers << answer; }

    static Answer Press(QMessageBox::StandardButton button)
    {
        return [button](QWidget* w) { static_cast<QMessageBox*>(w)->button(button)->click(); };
    }
    // The path typed into the name field, as a user does; empty cancels.
    // With type, the user first picks that file type (its position in the
    // list) with the keyboard.
    static Answer SaveAs(const QString& path, int type = 0)
    {
        return [path, type](QWidget* w) {
            auto* dialog = static_cast<QDialog*>(w);
            if (path.isEmpty())
                return dialog->reject();
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; i < type; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            dialog->accept();
        };
    }

    // The user picks a file type (its position in the list) and saves
    // under the name the dialog then shows.
    static Answer SaveAsType(int type)
    {
        return [type](QWidget* w) {
            auto* types = w->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; i < type; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            static_cast<QDialog*>(w)->accept();
        };
    }

    QList<Seen> seen;
    QList<Answer> answers;

private:
    void Look()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || answers.isEmpty() || w->property("answered").toBool() || !w->isVisible())
            return;
        w->setProperty("answered", true);
        Seen s;
        if (auto* box = qobject_cast<QMessageBox*>(w))
            s.text = box->text();
        else if (auto* dialog = qobject_cast<QFileDialog*>(w))
            s.proposed = dialog->selectedFiles().value(0);
        seen << s;
        QTimer::singleShot(0, w, [answer = answers.takeFirst(), w] { answer(w); });
    }

    QTimer timer;
};

#endif
