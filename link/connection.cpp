// Opening, scanning and ending the conversation with the unit.
#include "link/channel.h"
#include "link/session.h"
#include "link/portnames.h"
#include "settings/session.h"
#include "ui/artwork.h"
#include "ui/controls.h"
#include "ui/application.h"
#include "ui/formlistener.h"
#include "ui/unit1.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

void TForm1::createconnection()
{
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMaxVisibleItems(8);
    for (int i = 0; i < link::PortCount; ++i)
        ComboBox1->addItem(link::comname(i));
    // The list shows "COM1" but nothing is chosen yet: a connect before a choice opens nothing.
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("COM1"));
    ComboBox1->setGeometry(16, 30, 120, 21);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { handle([this] { ComboBox1Change(); }); });
    connect(ComboBox1, &QComboBox::editTextChanged, this, [this] { handle([this] { ComboBox1Change(); }); });

    Button15 = controls::button(this, QString::fromUtf8("Сканировать"), 16, 55, 120, 25);
    Button15->setObjectName(QStringLiteral("Button15"));
    connect(Button15, &QPushButton::clicked, this, [this] { handle([this] { Button15Click(); }); });

    Button1 = controls::button(this, QString::fromUtf8("Подключить"), 16, 86, 120, 25);
    Button1->setObjectName(QStringLiteral("Button1"));
    connect(Button1, &QPushButton::clicked, this, [this] { handle([this] { Button1Click(); }); });

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(16, 226, 120, 124);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(unitpicture(QSize(120, 124)));
    Image1->setVisible(false);
}

void TForm1::ComboBox1Change()
{
    // No connect may start in the middle of an upload: it would close the port and the files
    // under the transfer.  The upload switches the button back on when it ends.
    if (uploading)
        return;
    Button1->setEnabled(true);
}

void TForm1::Button1Click()
{
    FormListener listener(*this);
    if (!link::connectunit(ComboBox1->currentIndex(), listener).accepted())
        return;
    readall();
    Image1->setVisible(true);
}

void TForm1::Button15Click()
{
    if (Button8)
        Button8->setVisible(false);
    clearall();
    // The blanked controls no longer hold what the last unit sent: a settings file saved from
    // them must not record that unit.
    settings::forget();
    FormListener listener(*this);
    link::scanports(listener);
}

void TForm1::endconnection()
{
    FormListener listener(*this);
    link::endunit(listener);
}
