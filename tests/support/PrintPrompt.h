#pragma once

// Answering the real print prompt as a user would.

#include <QComboBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QTest>

// The prompt's printer list and file name field, found by the names Qt 6 gives them.
inline QComboBox* promptPrinters(QPrintDialog* prompt)
{
    return prompt->findChild<QComboBox*>(QStringLiteral("printers"));
}
inline QLineEdit* promptFileName(QPrintDialog* prompt)
{
    return prompt->findChild<QLineEdit*>(QStringLiteral("filename"));
}

// Chooses the printer of that name.
inline void choosePrinter(QPrintDialog* prompt, const QString& name)
{
    QComboBox* printers = promptPrinters(prompt);
    QVERIFY(printers);
    printers->setCurrentIndex(printers->findText(name));
}

// Chooses "Print to File (PDF)" and names the file.
inline void choosePdfFile(QPrintDialog* prompt, const QString& path)
{
    QComboBox* printers = promptPrinters(prompt);
    QLineEdit* fileName = promptFileName(prompt);
    QVERIFY(printers && fileName);
    const int pdf = printers->findText(QStringLiteral("Print to File (PDF)"));
    QVERIFY(pdf >= 0);
    printers->setCurrentIndex(pdf);
    fileName->setText(path);
}
