#ifndef PARVESTA_SETTINGSWINDOW_H
#define PARVESTA_SETTINGSWINDOW_H

#include "ui_SettingsWindowGUI.h"

#include <QDialog>

class CQuorvanta;

// The settings Settings.ini keeps, changed without an editor: OK writes the
// file at once and puts the values in force; Cancel and Esc change nothing.
class SettingsWindow : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsWindow(CQuorvanta* engine, QWidget* parent = nullptr);

    void accept() override;

private:
    void ChooseFolder();
    // OK only for a speed in whole bits per second and a folder named.
    void CheckValues();
    int Speed() const;

    Ui::SettingsWindowGUI ui;
    CQuorvanta* engine;
};

#endif
