// SPDX-License-Identifier: MIT
#include "TParameterForm.h"

#include "AutoUpdateFlow.h"
#include "Labels.h"
#include "ParameterCatalogue.h"
#include "ParameterFile.h"
#include "TCommandEngine.h"
#include "TParameterReader.h"
#include "Tag.h"
#include "WaitCursor.h"
#include "WarningLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QColor kMarked(Qt::red);

// The slots of one heading, in the order the editor shows them: the
// general parameters by their hint's label, all others by code.
QList<const TParameterDef*> SlotsUnder(int heading) {
    QList<const TParameterDef*> defs;
    for (const TParameterDef& def : ParameterCatalogue())
        if (def.Heading == heading) defs << &def;
    if (heading == 712 || heading == 717 || heading == 721)
        std::stable_sort(defs.begin(), defs.end(), [](auto* a, auto* b) {
            return (a->Label ? a->Label : 9999) < (b->Label ? b->Label : 9999);
        });
    return defs;
}

// A limit on what the user types; values from the sensor or a file are
// kept whole (an edit's own maximum would cut them).
void LimitTyping(QLineEdit* edit, int limit) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, limit](const QString& text) {
        if (text.size() > limit) edit->setText(text.left(limit));
    });
}

QLabel* TaggedLabel(const QString& caption, int tag, const QString& name, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    if (!name.isEmpty()) label->setObjectName(name);
    if (tag) SetTag(label, tag);
    return label;
}
} // namespace

TParameterForm::TParameterForm(THost& host, QWidget* parent) : QWidget(parent), m_host(host) {
    setObjectName(QStringLiteral("ParameterForm"));
    SetTag(this, 61);
    setWindowTitle(QStringLiteral("Parameter"));
    m_reader = new TParameterReader(host, *this, this);

    auto* layout = new QVBoxLayout(this);
    CreateTopStrip();
    pc_parameter = new QTabWidget(this);
    pc_parameter->setObjectName(QStringLiteral("pc_parameter"));
    auto addTab = [this](QWidget* page, const char* caption, int tag) {
        SetTag(page, tag);
        pc_parameter->addTab(page, QString::fromUtf8(caption));
        return page;
    };
    addTab(CreateParameterTab(), "Parameter", 700);
    addTab(CreateGroupTab({{730}}), "System", 701);
    addTab(CreateGroupTab({{750}, {756}}), "Interface", 702);
    m_pulseTab = addTab(CreateGroupTab({{770}}), "Impuls", 703);
    m_pulse32Tab = addTab(CreateGroupTab({{776}, {777}, {778}}), "Impuls", 703);
    addTab(CreateGroupTab({{780}}), "Analog", 704);
    addTab(CreateGroupTab({{790}}), "ECC", 705);
    addTab(CreateInfoTab(), "Info", 706);
    layout->addWidget(findChild<QWidget*>(QStringLiteral("TopStrip")));
    layout->addWidget(lb_otherSensor);
    layout->addWidget(pc_parameter, 1);
    CreateBottomStrip();
    layout->addWidget(findChild<QWidget*>(QStringLiteral("BottomStrip")));

    for (const TParameterDef& def : ParameterCatalogue())
        if (def.Group() == 2) m_systemSlots << m_slots.value(def.Code);
    SetSystemSlotsReadOnly(true, false);
    connect(&host.Sensor(), &TSensorState::Changed, this, &TParameterForm::ShowIdentity);
    connect(&host.Sensor(), &TSensorState::Changed, this, &TParameterForm::ShowOwnerWarning);
    ShowModelControls(host.Sensor().Firmware32Bit());
}

TParameterForm::~TParameterForm() = default;

// --- Building the window -------------------------------------------------------

void TParameterForm::CreateTopStrip() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("TopStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    lb_seriennummer = TaggedLabel(QStringLiteral("?"), 0, QStringLiteral("lb_seriennummer"), strip);
    lb_softwareversion =
        TaggedLabel(QStringLiteral("?"), 0, QStringLiteral("lb_softwareversion"), strip);
    for (QLabel* value : {lb_seriennummer, lb_softwareversion})
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cb_AutoUpdate = new QCheckBox(QStringLiteral("Auto Update"), strip);
    cb_AutoUpdate->setObjectName(QStringLiteral("cb_AutoUpdate"));
    SetTag(cb_AutoUpdate, 708);
    cb_AutoUpdate->setToolTip(
        QStringLiteral("On any change send this parameter to the ORX immediately"));
    connect(cb_AutoUpdate, &QCheckBox::clicked, this, &TParameterForm::AutoUpdateClicked);
    row->addWidget(TaggedLabel(QStringLiteral("Seriennummer:"), 710, {}, strip));
    row->addWidget(lb_seriennummer);
    row->addSpacing(24);
    row->addWidget(TaggedLabel(QStringLiteral("Softwareversion:"), 711, {}, strip));
    row->addWidget(lb_softwareversion, 1);
    row->addWidget(cb_AutoUpdate);
    // Its own line below the strip, shown only while it applies.
    lb_otherSensor = new QLabel(this);
    lb_otherSensor->setObjectName(QStringLiteral("lb_otherSensor"));
    MarkAsWarning(lb_otherSensor);
    lb_otherSensor->hide();
}

QWidget* TParameterForm::CreateParameterTab() {
    auto* page = new QWidget;
    auto* columns = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    left->addWidget(CreateHeadingBlock(712));
    left->addWidget(CreateHeadingBlock(717));
    left->addStretch();
    right->addWidget(CreateHeadingBlock(721));
    right->addWidget(CreateHeadingBlock(725));
    right->addWidget(CreateOutputOverview());
    right->addStretch();
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    return page;
}

QWidget* TParameterForm::CreateGroupTab(const QList<QList<int>>& columns) {
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    for (const QList<int>& column : columns) {
        auto* stack = new QVBoxLayout;
        for (int heading : column)
            stack->addWidget(CreateHeadingBlock(heading));
        stack->addStretch();
        row->addLayout(stack, 1);
    }
    return page;
}

// A heading and its slots as rows of caption (the key), edit and unit. The
// system parameters stand in two columns.
QWidget* TParameterForm::CreateHeadingBlock(int headingLabel) {
    auto* block = new QWidget;
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(0, 4, 0, 4);
    const THeadingDef* def = FindHeading(headingLabel);
    QLabel* heading = TaggedLabel(QString::fromUtf8(def->Caption), headingLabel,
                                  QStringLiteral("lb_heading_%1").arg(headingLabel), block);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->installEventFilter(this);
    m_headings.insert(headingLabel, heading);
    const QList<const TParameterDef*> defs = SlotsUnder(headingLabel);
    const int perColumn = headingLabel == 730 ? (int(defs.size()) + 1) / 2 : int(defs.size());
    const bool twoColumns = perColumn < defs.size();
    grid->addWidget(heading, 0, 0, 1, twoColumns ? 6 : 3);
    for (int i = 0; i < defs.size(); ++i)
        AddSlotRow(grid, 1 + i % perColumn, 3 * (i / perColumn), *defs[i]);
    grid->setColumnStretch(1, 1);
    if (twoColumns) grid->setColumnStretch(4, 1);
    return block;
}

void TParameterForm::AddSlotRow(QGridLayout* grid, int row, int column, const TParameterDef& def) {
    QWidget* parent = grid->parentWidget();
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(def.SlotName());
    if (def.Label) SetTag(edit, def.Label);
    if (def.Description) edit->setToolTip(QString::fromUtf8(def.Description));
    if (def.MaxLength) LimitTyping(edit, def.MaxLength);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 20);
    edit->installEventFilter(this);
    auto* caption = new QLabel(QString::fromLatin1(def.Key), parent);
    caption->setBuddy(edit);
    auto* unit = new QLabel(QString::fromUtf8(def.Unit), parent);
    grid->addWidget(caption, row, column);
    grid->addWidget(edit, row, column + 1);
    grid->addWidget(unit, row, column + 2);
    m_rowWidgets.insert(def.Code, {caption, edit, unit});
    m_slots.insert(def.Code, edit);
    m_codes.insert(edit, def.Code);
    m_slotList << edit;
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { SlotChanged(edit); });
    connect(edit, &QLineEdit::textEdited, this, [this, edit] { m_edited.insert(edit); });
}

QWidget* TParameterForm::CreateOutputOverview() {
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 4, 0, 4);
    QLabel* heading = TaggedLabel(QString::fromUtf8("Aktive Ausgänge"), HeadingOutputs,
                                  QStringLiteral("lb_heading_727"), block);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    column->addWidget(heading);
    const struct {
        const char* name;
        const char* caption;
        int tag;
    } outputs[] = {
        {"lb_Impulsausgang1", "Impulsausgang 1", 776},
        {"lb_Impulsausgang2", "Impulsausgang 2", 777},
        {"lb_Impulsausgang3", "Impulsausgang 3", 778},
        {"lb_Analogausgang", "Analogausgang", 780},
        {"lb_SerielleSchnittstelle1", "Serielle Schnittstelle 1", 750},
        {"lb_SerielleSchnittstelle2", "Serielle Schnittstelle 2", 756},
        {"lb_ECCSteuerung", "ECC-Steuerung", 790},
    };
    for (const auto& o : outputs) {
        QLabel* label =
            TaggedLabel(QString::fromUtf8(o.caption), o.tag, QLatin1String(o.name), block);
        label->setEnabled(false); // greyed while the output is off
        column->addWidget(label);
        m_outputs.insert(QLatin1String(o.name), label);
    }
    return block;
}

QWidget* TParameterForm::CreateInfoTab() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    ed_typ = new QLineEdit(page);
    ed_typ->setObjectName(QStringLiteral("ed_typ"));
    LimitTyping(ed_typ, 29);
    SetTag(ed_typ, 802);
    ed_typ->setToolTip(QString::fromUtf8("Typ und Ausstattung des Gerätes"));
    ed_standort = new QLineEdit(page);
    ed_standort->setObjectName(QStringLiteral("ed_standort"));
    LimitTyping(ed_standort, 36);
    SetTag(ed_standort, 804);
    ed_standort->setToolTip(QString::fromUtf8("Standort des Gerätes"));
    Memo_bemerkung = new QPlainTextEdit(page);
    Memo_bemerkung->setObjectName(QStringLiteral("Memo_bemerkung"));
    Memo_bemerkung->setReadOnly(true);
    Memo_bemerkung->setLineWrapMode(QPlainTextEdit::NoWrap);
    grid->addWidget(TaggedLabel(QStringLiteral("Typ"), 801, {}, page), 0, 0);
    grid->addWidget(ed_typ, 0, 1);
    grid->addWidget(TaggedLabel(QStringLiteral("Standort"), 803, {}, page), 1, 0);
    grid->addWidget(ed_standort, 1, 1);
    grid->addWidget(TaggedLabel(QStringLiteral("Bemerkungen"), 805, {}, page), 2, 0, Qt::AlignTop);
    grid->addWidget(Memo_bemerkung, 2, 1);
    return page;
}

void TParameterForm::CreateBottomStrip() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("BottomStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch();
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), strip);
    cancel->setObjectName(QStringLiteral("btnAbbrechen"));
    SetTag(cancel, 2);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    row->addWidget(cancel);
}

void TParameterForm::BindActions(QAction* read, QAction* test, QAction* program, QAction* save,
                                 QAction* open, QAction* compare) {
    m_readAction = read;
    auto* strip = findChild<QWidget*>(QStringLiteral("BottomStrip"));
    auto* row = static_cast<QHBoxLayout*>(strip->layout());
    int at = 0;
    for (QAction* action : {read, test, program, save, open, compare}) {
        if (!action) continue;
        auto* button = new QToolButton(strip);
        button->setObjectName(QStringLiteral("btn_") + action->objectName());
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        row->insertWidget(at++, button);
        addAction(action); // its shortcut works in this window
    }
}

// --- The parameter set ---------------------------------------------------------------

QString TParameterForm::Value(int code) const {
    const QLineEdit* slot = m_slots.value(code);
    return slot ? slot->text() : QString();
}

void TParameterForm::KeepExtraLines(const QStringList& lines) {
    static const QRegularExpression keyWord(QStringLiteral("^[A-Z][A-Z0-9]*$"));
    m_extraLines.clear();
    for (const QString& line : lines) {
        const QString trimmed = line.trimmed();
        const QString key = trimmed.section(u' ', 0, 0);
        if (key == u"REM" || !keyWord.match(key).hasMatch() || FindParameterKey(key)) continue;
        // A hand-made file of any size keeps what a set can hold.
        if (m_extraLines.size() >= 256) break;
        m_extraLines << FormatKeyValue(key, trimmed.mid(key.size()).trimmed(), true);
    }
}

void TParameterForm::ClearParameters() {
    m_identityLine.clear();
    m_extraLines.clear();
    for (QLineEdit* slot : m_slotList) {
        slot->clear();
        m_edited.remove(slot);
    }
    lb_seriennummer->setText(QStringLiteral("?"));
    lb_softwareversion->setText(QStringLiteral("?"));
    SetOwner(QString());
}

void TParameterForm::SetParameterValue(const QString& key, const QString& value) {
    const QString v = value.trimmed();
    if (const TParameterDef* def = FindParameterKey(key)) {
        auto put = [this](int code, const QString& text) {
            if (QLineEdit* slot = m_slots.value(code)) {
                slot->setText(text);
                m_edited.remove(slot);
            }
        };
        switch (def->Shape) {
        case TValueShape::FirstWord:
            put(def->Code, v.section(u' ', 0, 0));
            break;
        case TValueShape::ThreeWords: {
            const QStringList words = v.split(u' ', Qt::SkipEmptyParts);
            put(404, words.value(0));
            put(405, words.value(1));
            put(406, words.value(2));
            break;
        }
        case TValueShape::Whole:
        case TValueShape::None:
            put(def->Code, v);
            break;
        }
        OutputsFromValue(QString::fromLatin1(def->Key), v, false, true);
    }
    LookUpTypeAndPlace();
}

void TParameterForm::SetOutput(const QString& labelName, bool on) {
    if (QLabel* label = m_outputs.value(labelName)) label->setEnabled(on);
}

bool TParameterForm::OutputActive(const QString& labelName) const {
    const QLabel* label = m_outputs.value(labelName);
    return label && label->isEnabled();
}

// The output overview from a value: read from the sensor or a file
// (`fromAutoUpdate` false) a switch counts as on unless it is "0"; sent by
// Auto Update, only "1" counts as on.
void TParameterForm::OutputsFromValue(const QString& key, const QString& value, bool fromAutoUpdate,
                                      bool firstWord) {
    const bool isOne = value.compare(QLatin1String("1"), Qt::CaseInsensitive) == 0;
    const bool on =
        fromAutoUpdate ? isOne : value.compare(QLatin1String("0"), Qt::CaseInsensitive) != 0;
    if (key == u"S1ON") SetOutput(QStringLiteral("lb_SerielleSchnittstelle1"), on);
    if (key == u"S2ON") SetOutput(QStringLiteral("lb_SerielleSchnittstelle2"), on);
    if (key == u"ANON") SetOutput(QStringLiteral("lb_Analogausgang"), on);
    if (key == u"ECCON") SetOutput(QStringLiteral("lb_ECCSteuerung"), on);
    if (key == u"INCON") {
        SetOutput(QStringLiteral("lb_Impulsausgang1"), value == u"1" || value == u"3");
        SetOutput(QStringLiteral("lb_Impulsausgang2"), value == u"2" || value == u"3");
        SetOutput(QStringLiteral("lb_Impulsausgang3"), value == u"2" || value == u"3");
    }
    if (firstWord) {
        for (int i = 1; i <= 3; ++i)
            if (key == QStringLiteral("INC%1ON").arg(i))
                SetOutput(QStringLiteral("lb_Impulsausgang%1").arg(i), value == u"1");
    }
}

// The newest file of each serial number is found once, when the list is
// scanned: applying a set then looks its type and place up at once, however
// many files the folder holds. A header whose date cannot be read in the
// user's locale is passed over; of equal dates the later file wins.
void TParameterForm::SetParameterFileHeaders(const QList<TParameterFileHeader>& headers) {
    m_newestFiles.clear();
    QHash<QString, QDateTime> newestDates;
    for (const TParameterFileHeader& h : headers) {
        if (h.Date.isEmpty()) continue;
        const QDateTime date = ParseFileDate(h.Date);
        if (!date.isValid()) continue;
        const auto known = newestDates.constFind(h.SerialNumber);
        if (known != newestDates.cend() && date < known.value()) continue;
        newestDates.insert(h.SerialNumber, date);
        m_newestFiles.insert(h.SerialNumber, {h.Type, h.Place});
    }
}

// Type and place of the newest parameter file of this sensor.
void TParameterForm::LookUpTypeAndPlace() {
    const auto newest = m_newestFiles.constFind(lb_seriennummer->text());
    if (newest == m_newestFiles.cend()) return;
    if (ed_typ->text() != newest->first) ed_typ->setText(newest->first);
    if (ed_standort->text() != newest->second) ed_standort->setText(newest->second);
}

QString TParameterForm::FormatParameterLine(int code, bool padded) const {
    if (!m_host.PortOpen() && m_host.LinkMode() == TLinkMode::Local) return {};
    return FormatSlotLine(code, padded);
}

QString TParameterForm::FormatFactorLine(bool padded) const {
    if (!m_host.PortOpen() && m_host.LinkMode() == TLinkMode::Local) return {};
    return FormatSlotFactorLine(padded);
}

QString TParameterForm::FormatSlotLine(int code, bool padded) const {
    const QLineEdit* slot = m_slots.value(code);
    if (!slot) return {};
    return FormatKeyValue(KeyForCode(code, m_host.Sensor().Firmware32Bit()), slot->text().trimmed(),
                          padded);
}

QString TParameterForm::FormatSlotFactorLine(bool padded) const {
    const QString line = FormatSlotLine(404, padded);
    if (line.isEmpty()) return {};
    return line + u' ' + Value(405) + u' ' + Value(406);
}

void TParameterForm::ShowHeader(const TParameterFileHeader& header) {
    lb_seriennummer->setText(header.SerialNumber);
    SetOwner(header.SerialNumber);
    lb_softwareversion->setText(header.Software);
    ed_standort->setText(header.Place);
    QString remarks = header.Remarks;
    remarks.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (remarks.endsWith(u'\n')) remarks.chop(1);
    Memo_bemerkung->setPlainText(remarks);
    ed_typ->setText(header.Type);
}

// --- Change marks --------------------------------------------------------------------

void TParameterForm::SlotChanged(QLineEdit* slot) {
    const int code = m_codes.value(slot);
    if (code == 405 || code == 406) return; // INCFACTOR's second and third value
    MarkSlot(slot);
}

void TParameterForm::MarkSlot(QLineEdit* slot) {
    const int code = m_codes.value(slot);
    const QColor colour = m_marking ? kMarked : palette().color(QPalette::Text);
    QPalette p = slot->palette();
    p.setColor(QPalette::Text, colour);
    slot->setPalette(p);
    const TParameterDef* def = FindParameter(code);
    if (QLabel* heading = def ? m_headings.value(def->Heading) : nullptr) {
        QPalette h = heading->palette();
        h.setColor(QPalette::WindowText,
                   m_marking ? kMarked : palette().color(QPalette::WindowText));
        heading->setPalette(h);
    }
}

void TParameterForm::ResetChangeMarks() {
    m_marking = false;
    for (QLineEdit* slot : m_slotList)
        SlotChanged(slot);
    m_marking = true;
}

bool TParameterForm::IsMarked(int code) const {
    const QLineEdit* slot = m_slots.value(code);
    return slot && slot->palette().color(QPalette::Text) == kMarked;
}

bool TParameterForm::HeadingMarked(int label) const {
    const QLabel* heading = m_headings.value(label);
    return heading && heading->palette().color(QPalette::WindowText) == kMarked;
}

// --- Model, identity, system slots -------------------------------------------------------

void TParameterForm::ShowModelControls(bool firmware32) {
    pc_parameter->setTabVisible(pc_parameter->indexOf(m_pulseTab), !firmware32);
    pc_parameter->setTabVisible(pc_parameter->indexOf(m_pulse32Tab), firmware32);
    for (const TParameterDef& def : ParameterCatalogue()) {
        if (def.Sensors != TSensorVariant::Only32Bit || def.Group() == 6) continue;
        for (QWidget* w : m_rowWidgets.value(def.Code))
            w->setVisible(firmware32);
    }
}

void TParameterForm::ShowIdentity(const TSensorIdentity& identity) {
    lb_seriennummer->setText(identity.SerialNumber.isEmpty() ? QStringLiteral("?")
                                                             : identity.SerialNumber);
    lb_softwareversion->setText(identity.SoftwareVersion.isEmpty() ? QStringLiteral("?")
                                                                   : identity.SoftwareVersion);
}

void TParameterForm::SetOwner(const QString& serialNumber) {
    m_owner = serialNumber.trimmed();
    ShowOwnerWarning();
}

void TParameterForm::ShowOwnerWarning() {
    const QString connected = m_host.Sensor().Identity().SerialNumber;
    const bool other = !m_owner.isEmpty() && !connected.isEmpty() && m_owner != connected;
    lb_otherSensor->setText(other ? LabelText(142).arg(m_owner, connected) : QString());
    lb_otherSensor->setVisible(other);
}

QString TParameterForm::OtherSensorWarning() const {
    return lb_otherSensor->isHidden() ? QString() : lb_otherSensor->text();
}

QString TParameterForm::SerialNumberText() const {
    return lb_seriennummer->text();
}

QString TParameterForm::SoftwareVersionText() const {
    return lb_softwareversion->text();
}

void TParameterForm::SetSystemSlotsReadOnly(bool readOnly, bool shaded) {
    for (QLineEdit* slot : m_systemSlots) {
        const TParameterDef* def = FindParameter(m_codes.value(slot));
        const bool ro = readOnly || (def && def->Fixed);
        slot->setReadOnly(ro);
        QPalette p = slot->palette();
        p.setColor(QPalette::Base, ro && shaded ? palette().color(QPalette::Button)
                                                : palette().color(QPalette::Base));
        slot->setPalette(p);
    }
}

void TParameterForm::SystemHeadingDoubleClicked() {
    const bool readOnly = !m_slots.value(201)->isReadOnly();
    SetSystemSlotsReadOnly(readOnly, true);
}

// --- Window events -----------------------------------------------------------------------

// The warning over another sensor's set is composed, not labelled: it
// follows the language itself.
void TParameterForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange && lb_otherSensor) ShowOwnerWarning();
}

void TParameterForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TParameterForm::FormShow, Qt::QueuedConnection);
}

void TParameterForm::FormShow() {
    if (m_reader->Identifying() || m_reader->Reading()) return; // it is being talked to already
    m_host.Engine().SetCmd(SensorCommand::Attention);
    m_reader->IdentifySensor();
    ShowModelControls(m_host.Sensor().Firmware32Bit());
    pc_parameter->setCurrentIndex(0);
}

bool TParameterForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // A context menu or another window taking the focus does not leave
        // the slot.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        const bool left = reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
        if (auto* slot = qobject_cast<QLineEdit*>(watched);
            left && slot && m_codes.contains(slot)) {
            const int code = m_codes.value(slot);
            if (code != 405 && code != 406) SlotExit(slot);
        }
    } else if (event->type() == QEvent::MouseButtonDblClick && watched == m_headings.value(730)) {
        SystemHeadingDoubleClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// --- Auto Update -------------------------------------------------------------------------

// The exit handling of a slot. Only one exchange runs at a time: a slot left
// while another one's exchange waits for the sensor is queued behind it.
void TParameterForm::SlotExit(QLineEdit* slot) {
    const bool linkOpen = m_host.PortOpen() || m_host.LinkMode() != TLinkMode::Local;
    if (!linkOpen || !cb_AutoUpdate->isChecked() || !m_edited.contains(slot)) return;
    if (m_exchanging) {
        if (!m_exchangeQueue.contains(slot)) m_exchangeQueue.append(slot);
        return;
    }
    ExchangeSlot(slot);
    while (!m_exchangeQueue.isEmpty()) {
        QLineEdit* next = m_exchangeQueue.takeFirst();
        if (m_edited.contains(next) && cb_AutoUpdate->isChecked()) ExchangeSlot(next);
    }
}

void TParameterForm::ExchangeSlot(QLineEdit* slot) {
    m_exchanging = true;
    const int code = m_codes.value(slot);
    const QString key = EditorKeyForCode(code);
    const QString text = slot->text();
    if (!key.isEmpty() && !text.isEmpty()) {
        const TAutoUpdateResult result =
            TAutoUpdateFlow(m_host).Exchange(*FindParameter(code), key, text);
        if (result.Outcome == TFlowResult::NoLink && !m_host.Engine().LinkUp()) {
            // The link went away: the value the user typed stays, marked as
            // not sent, and goes out with the next exchange of this slot.
            m_host.ShowError(LabelText(144));
            m_exchanging = false;
            return;
        }
        // A refusal or a missing answer empties the slot: the sensor's
        // value is not known then.
        slot->setText(result.Value);
        const bool whole = FindParameter(code)->AutoUpdate.ReadBack == TReadBack::Whole;
        OutputsFromValue(key, text, true, !whole);
    }
    m_edited.remove(slot);
    m_marking = false;
    SlotChanged(slot);
    m_marking = true;
    if (QWidget* focused = focusWidget()) focused->clearFocus();
    m_exchanging = false;
}

void TParameterForm::AutoUpdateClicked(bool checked) {
    if (!checked) return;
    TWaitCursor wait;
    for (const TParameterDef* def : AutoUpdateOrder())
        if (QLineEdit* slot = m_slots.value(def->Code)) SlotExit(slot);
}
