// The controls of the main window, their geometry, fonts and colours, names and tab order.

#include "app/WindowCommon.h"
#include "app/frmStep1.h"
#include "doclist/DocumentListView.h"

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>

// The icons live in the GUI library's resources, which a static library must register itself.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace quenlith {

namespace {

// Layout positions are given in twips, 15 to a pixel.
constexpr int px(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

// Where a control lies in its parent, in twips.
struct ControlGeometry {
    QWidget *control;
    int left;
    int top;
    int width;
    int height;
};

void place(const ControlGeometry &placement)
{
    placement.control->setGeometry(
        px(placement.left), px(placement.top), px(placement.width), px(placement.height));
}

QFont tahoma(double points, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    if (role == QPalette::Window)
        widget->setAutoFillBackground(true);
}

QString plainCaption(const QString &caption)
{
    QString text = caption;
    return text.remove(QLatin1Char('&')).trimmed();
}

const QColor White(0xFF, 0xFF, 0xFF);
const QColor Silver(0xC0, 0xC0, 0xC0);

QFrame *makeBand(QWidget *parent, const QString &name)
{
    auto *band = new QFrame(parent);
    band->setObjectName(name);
    band->setFrameShape(QFrame::Box);
    band->setFrameShadow(QFrame::Plain);
    setColour(band, QPalette::Window, White);
    setColour(band, QPalette::WindowText, Silver);
    return band;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    return label;
}

QPushButton *makeButton(
    QWidget *parent, const QString &name, const QString &caption, const QFont &font)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

QCheckBox *makeCheckBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setFont(tahoma(9));
    return box;
}

} // namespace

void frmStep1::buildLayout()
{
    setUpWindow();
    // Created back to front: a later control lies over an earlier one where they overlap.
    createListControls();
    createRunControls();
    placeControls();
}

void frmStep1::setUpWindow()
{
    initResources();
    setObjectName(QStringLiteral("frmStep1"));
    setWindowTitle(WindowTitle);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(633, 519);
    setFont(tahoma(9));

    QIcon appIcon;
    for (const char *size : { "16", "32", "48", "256" })
        appIcon.addFile(QStringLiteral(":/icons/quenlith-%1.png").arg(QLatin1String(size)));
    setWindowIcon(appIcon);
    ImageList1.clear();
    for (const char *name :
        { "pdf-document", "paper-clip", "plus-box", "open-envelope", "exclamation", "green-tick" })
        ImageList1.append(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name))));
}

void frmStep1::createListControls()
{
    Shape2 = makeBand(this, QStringLiteral("Shape2"));
    Shape1 = makeBand(this, QStringLiteral("Shape1"));

    lblTitle = makeLabel(this, QStringLiteral("lblTitle"), WindowTitle, tahoma(14.25, true));
    setColour(lblTitle, QPalette::WindowText, QColor(0, 0, 0));
    setColour(lblTitle, QPalette::Window, White);

    cmdAdd = makeButton(this, QStringLiteral("cmdAdd"), tr("Add PDF File(s)..."), tahoma(9));
    CmdAddFolder = makeButton(
        this, QStringLiteral("CmdAddFolder"), tr("Add Folder having PDF File(s)..."), tahoma(9));
    cmdClear1 = makeButton(this, QStringLiteral("cmdClear1"), tr("Clear File(s)..."), tahoma(9));

    lblCount = makeLabel(this, QStringLiteral("lblCount"), tr("0 files"), tahoma(8.25));

    ListView1 = new DocumentListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setFont(tahoma(9));
    // The columns and their captions are the list model's.
    // The count narrow, name and path sharing the rest: no sideways scrolling, long paths
    // shortened in the middle, where they differ least.
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(40);
    ListView1->setColumnWidth(0, 87);
    ListView1->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    ListView1->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    ListView1->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListView1->setTextElideMode(Qt::ElideMiddle);
    ListView1->setIconSize(QSize(16, 16));

    FrameWait = new QFrame(this);
    FrameWait->setObjectName(QStringLiteral("FrameWait"));
    FrameWait->setFrameShape(QFrame::Box);
    setColour(FrameWait, QPalette::Window, QColor(0xFF, 0xFF, 0xC0));
    Label1 = makeLabel(FrameWait, QStringLiteral("Label1"), waitText(), tahoma(9, true));
    Label1->setAlignment(Qt::AlignCenter);
    setColour(Label1, QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
    FrameWait->hide();

    ChkSelectAll = makeCheckBox(this, QStringLiteral("ChkSelectAll"), tr("Select All"));
    setColour(ChkSelectAll, QPalette::WindowText, QColor(0x00, 0x00, 0xC0));
    ChkSelectAll->setCheckState(Qt::Unchecked);
    ChkSelectAll->setEnabled(false);
    // A run option, off by default: nested documents can multiply the files a run writes.
    ChkNested = makeCheckBox(
        this, QStringLiteral("ChkNested"), tr("Also extract from attached PDF documents"));
    ChkNested->setToolTip(
        tr("The attachments of an attachment that is itself a PDF document go into a folder "
           "\"<name>.attachments\" beside it, up to 8 levels deep."));
    ChkNested->setLayoutDirection(Qt::RightToLeft); // box at the right edge, like the list's
}

void frmStep1::createRunControls()
{
    Frame1 = new QGroupBox(tr(" Extraction Details "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(tahoma(9));
    Picture1 = new QWidget(Frame1);
    Picture1->setObjectName(QStringLiteral("Picture1"));

    Image1 = new QLabel(Picture1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ImageList1.at(0).pixmap(16, 16));
    LblProgessCurrent = makeLabel(
        Picture1, QStringLiteral("LblProgessCurrent"), tr("PDF File <pdf-file>"), tahoma(8.25));
    setColour(LblProgessCurrent, QPalette::WindowText, QColor(0, 0, 0));
    Image2 = new QLabel(Picture1);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(ImageList1.at(5).pixmap(16, 16));
    LblImages = makeLabel(Picture1,
        QStringLiteral("LblImages"),
        tr("Extracted Attachment(s) %1 (of %2)").arg(0).arg(0),
        tahoma(8.25));
    setColour(LblImages, QPalette::WindowText, QColor(0x00, 0x40, 0x00));
    Label2
        = makeLabel(Picture1, QStringLiteral("Label2"), tr("Extraction Progress : "), tahoma(8.25));
    ProgressBar1 = new QProgressBar(Picture1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    CmdProcess
        = makeButton(this, QStringLiteral("CmdProcess"), tr("&Extract Attachments"), tahoma(14.25));
    CmdProcess->setEnabled(false);
    cmdCancel = makeButton(this, QStringLiteral("cmdCancel"), tr("Cancel"), tahoma(9));
    cmdCancel->hide();

    Picture3 = new QWidget(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    setColour(Picture3, QPalette::Window, White);
    CmdHelp = makeButton(Picture3, QStringLiteral("CmdHelp"), tr("&Help Manual"), tahoma(9));
    cmdEnd = makeButton(Picture3, QStringLiteral("cmdEnd"), tr("E&xit"), tahoma(9));
}

void frmStep1::placeControls()
{
    // Left, top, width and height in the parent, in twips.
    const ControlGeometry geometries[] = {
        { Shape2, -120, 0, 9615, 855 },
        { Shape1, 0, 7200, 9975, 855 },
        { lblTitle, 240, 120, 7695, 375 },
        { cmdAdd, 240, 960, 1815, 375 },
        { CmdAddFolder, 2280, 960, 2775, 375 },
        { cmdClear1, 7560, 960, 1695, 375 },
        { lblCount, 240, 1560, 9015, 255 },
        { ListView1, 240, 1800, 9015, 3015 },
        { FrameWait, 1920, 2640, 4455, 495 },
        { Label1, 120, 120, 4335, 255 }, // in FrameWait
        { ChkSelectAll, 240, 4850, 2175, 255 },
        { ChkNested, 4800, 4850, 4455, 255 },
        { Frame1, 240, 5160, 9015, 1215 },
        // In Frame1, below the border that the style draws under the title, not across it; the
        // rest of its block in Picture1.
        { Picture1, 120, 315, 8775, 855 },
        { Image1, 0, 0, 240, 240 },
        { LblProgessCurrent, 360, 0, 7335, 255 },
        { Image2, 360, 315, 240, 240 },
        { LblImages, 720, 315, 7335, 255 },
        { Label2, 0, 600, 1695, 255 },
        { ProgressBar1, 1560, 600, 7215, 255 },
        { CmdProcess, 3240, 6480, 3135, 555 },
        { cmdCancel, 6480, 6570, 1335, 375 },
        { Picture3, 240, 7320, 9135, 495 },
        { CmdHelp, 0, 0, 1695, 375 }, // in Picture3
        { cmdEnd, 7680, 0, 1335, 375 }, // in Picture3
    };
    for (const ControlGeometry &placement : geometries)
        place(placement);
}

void frmStep1::setTabOrderAndNames()
{
    // Left to right, top to bottom, as the window reads.
    const QList<QWidget *> order = { cmdAdd,
        CmdAddFolder,
        cmdClear1,
        ChkSelectAll,
        ChkNested,
        ListView1,
        CmdProcess,
        cmdCancel,
        CmdHelp,
        cmdEnd };
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));
    for (QWidget *widget : { lblTitle, Label1, LblProgessCurrent, LblImages, Label2, lblCount })
        widget->setFocusPolicy(Qt::NoFocus);

    for (QPushButton *button :
        { cmdAdd, CmdAddFolder, cmdClear1, CmdProcess, cmdCancel, CmdHelp, cmdEnd })
        button->setAccessibleName(plainCaption(button->text()));
    ChkSelectAll->setAccessibleName(ChkSelectAll->text());
    ChkNested->setAccessibleName(ChkNested->text());
    Frame1->setAccessibleName(plainCaption(Frame1->title()));
    for (QLabel *label : { lblTitle, lblCount, Label1, LblProgessCurrent, LblImages, Label2 })
        label->setAccessibleName(plainCaption(label->text()));
    ListView1->setAccessibleName(tr("PDF Documents"));
    ProgressBar1->setAccessibleName(
        plainCaption(Label2->text()).remove(QLatin1Char(':')).trimmed());
    Image1->setAccessibleName(tr("PDF File"));
    Image2->setAccessibleName(tr("Extracted Attachment(s)"));
}

} // namespace quenlith
