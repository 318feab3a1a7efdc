#include "ui/taskpanel.h"

#include "ui/imagemanager.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace zeltpc5 {

namespace {

// The panel keeps its own light colours on every desktop theme, so its texts keep theirs.
const QColor TextColour(32, 32, 32);
const QColor CaptionColour(33, 64, 110);
const QColor LinkColour(0, 70, 190);
const QColor FrameFill(247, 249, 252);
const QColor FrameBorder(176, 190, 212);
const QColor BackgroundTop(222, 230, 240);
const QColor BackgroundBottom(196, 208, 225);

constexpr int IconSize = 16;

// Only the attributes set here are resolved; the family and the rest follow the panel.
QFont fontWith(bool bold, int pointSize, bool underline)
{
    QFont font;
    if (bold)
        font.setBold(true);
    if (pointSize > 0)
        font.setPointSize(pointSize);
    font.setUnderline(underline);
    return font;
}

// The rounded frame that holds a group's items.
class GroupFrame : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(FrameBorder);
        p.setBrush(FrameFill);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }
};

} // namespace

// One item: an icon and a word-wrapped text. A link takes focus and runs on a click or on
// Enter or Space; its labels let the mouse through so the whole row is the target.
class TaskItemWidget : public QWidget
{
public:
    TaskItemWidget(const TaskPanelItem &item, std::function<void()> activate, QWidget *parent)
        : QWidget(parent), m_id(item.id), m_icon(item.icon),
          m_link(item.kind == TaskItemKind::Link), m_activate(std::move(activate)),
          m_iconLabel(new QLabel(this)), m_text(new QLabel(item.caption, this))
    {
        setObjectName(QStringLiteral("taskItem%1").arg(item.id));
        setAccessibleName(item.caption);
        m_iconLabel->setFixedSize(IconSize, IconSize);
        m_text->setTextFormat(Qt::PlainText); // captions may hold names with markup characters
        m_text->setWordWrap(true);
        m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->setSpacing(6);
        layout->addWidget(m_iconLabel, 0, Qt::AlignTop);
        layout->addWidget(m_text, 1);
        if (m_link) {
            setFocusPolicy(Qt::StrongFocus);
            setCursor(Qt::PointingHandCursor);
            m_iconLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
            m_text->setAttribute(Qt::WA_TransparentForMouseEvents);
            QPalette palette = m_text->palette();
            palette.setColor(QPalette::WindowText, LinkColour);
            m_text->setPalette(palette);
        }
    }

    int id() const { return m_id; }
    bool isLink() const { return m_link; }

    // A link keeps its icon's place even without one, so link texts line up.
    void showIcon(const ImageManager *icons)
    {
        const QIcon icon = icons ? icons->icon(m_icon) : QIcon();
        m_iconLabel->setPixmap(icon.isNull()
                                   ? QPixmap()
                                   : icon.pixmap(QSize(IconSize, IconSize), devicePixelRatioF()));
        m_iconLabel->setVisible(m_link || !icon.isNull());
    }

protected:
    void enterEvent(QEnterEvent *event) override
    {
        if (m_link)
            m_text->setFont(fontWith(false, 0, true));
        QWidget::enterEvent(event);
    }

    void leaveEvent(QEvent *event) override
    {
        if (m_link)
            m_text->setFont(fontWith(false, 0, false));
        QWidget::leaveEvent(event);
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        m_pressed = m_link && event->button() == Qt::LeftButton;
        QWidget::mousePressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        const bool clicked = m_pressed && event->button() == Qt::LeftButton &&
                             rect().contains(event->position().toPoint());
        m_pressed = false;
        if (clicked)
            m_activate();
        else
            QWidget::mouseReleaseEvent(event);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const int key = event->key();
        if (m_link && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            if (!event->isAutoRepeat())
                m_activate();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent *) override
    {
        if (!hasFocus())
            return;
        QStylePainter p(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }

private:
    int m_id;
    int m_icon;
    bool m_link;
    bool m_pressed = false;
    std::function<void()> m_activate;
    QLabel *m_iconLabel;
    QLabel *m_text;
};

// A group: its caption over the frame of its items.
class TaskPanelGroupWidget : public QWidget
{
public:
    TaskPanelGroupWidget(int id, const QString &caption, QWidget *parent)
        : QWidget(parent), m_id(id), m_caption(new QLabel(caption, this)),
          m_frame(new GroupFrame(this)), m_itemsLayout(new QVBoxLayout(m_frame))
    {
        setObjectName(QStringLiteral("taskGroup%1").arg(id));
        m_caption->setTextFormat(Qt::PlainText);
        m_caption->setWordWrap(true);
        m_caption->setFont(fontWith(true, 10, false));
        QPalette palette = m_caption->palette();
        palette.setColor(QPalette::WindowText, CaptionColour);
        m_caption->setPalette(palette);
        m_itemsLayout->setContentsMargins(8, 8, 8, 8);
        m_itemsLayout->setSpacing(4);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(4);
        layout->addWidget(m_caption);
        layout->addWidget(m_frame);
    }

    int id() const { return m_id; }
    QString caption() const { return m_caption->text(); }
    const QList<TaskItemWidget *> &items() const { return m_items; }

    void addItem(TaskItemWidget *item)
    {
        m_itemsLayout->addWidget(item);
        m_items.append(item);
    }

    QWidget *frame() const { return m_frame; }

private:
    int m_id;
    QLabel *m_caption;
    QWidget *m_frame;
    QVBoxLayout *m_itemsLayout;
    QList<TaskItemWidget *> m_items;
};

TaskPanel::TaskPanel(QWidget *parent) : QWidget(parent), m_scroll(new QScrollArea(this))
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, TextColour);
    setPalette(palette);

    auto *content = new QWidget;
    m_groupsLayout = new QVBoxLayout(content);
    m_groupsLayout->setContentsMargins(10, 10, 10, 10);
    m_groupsLayout->setSpacing(12);
    m_groupsLayout->addStretch(1);

    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(content);
    // The panel paints the background behind both.
    m_scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
}

void TaskPanel::setIcons(const ImageManager *icons)
{
    m_icons = icons;
    for (const TaskPanelGroupWidget *group : std::as_const(m_groups)) {
        for (TaskItemWidget *item : group->items())
            item->showIcon(m_icons);
    }
}

void TaskPanel::RemoveAllGroups()
{
    for (TaskPanelGroupWidget *group : std::as_const(m_groups)) {
        m_groupsLayout->removeWidget(group);
        group->hide();
        // Until they are gone, lookups by name find only what is shown.
        group->setObjectName(QString());
        for (QWidget *child : group->findChildren<QWidget *>())
            child->setObjectName(QString());
        group->deleteLater();
    }
    m_groups.clear();
}

void TaskPanel::AddGroup(int id, const QString &caption)
{
    auto *group = new TaskPanelGroupWidget(id, caption, m_scroll->widget());
    m_groupsLayout->insertWidget(m_groupsLayout->count() - 1, group); // above the stretch
    m_groups.append(group);
}

void TaskPanel::AddItem(int groupId, int id, const QString &caption, TaskItemKind kind, int icon)
{
    const auto group = std::find_if(m_groups.cbegin(), m_groups.cend(),
                                    [groupId](const auto *g) { return g->id() == groupId; });
    if (group != m_groups.cend())
        addItemTo(*group, {id, caption, kind, icon});
}

void TaskPanel::SetGroups(const std::vector<TaskPanelGroup> &groups)
{
    RemoveAllGroups();
    for (const TaskPanelGroup &group : groups) {
        AddGroup(group.id, group.caption);
        // Into the group just added, even when another one carries the same id.
        for (const TaskPanelItem &item : group.items)
            addItemTo(m_groups.last(), item);
    }
}

void TaskPanel::addItemTo(TaskPanelGroupWidget *group, const TaskPanelItem &item)
{
    auto *widget = new TaskItemWidget(
        item, [this, id = item.id] { Q_EMIT linkClicked(id); }, group->frame());
    widget->showIcon(m_icons);
    group->addItem(widget);
}

QStringList TaskPanel::groupCaptions() const
{
    QStringList captions;
    for (const TaskPanelGroupWidget *group : m_groups)
        captions << group->caption();
    return captions;
}

QList<int> TaskPanel::linkIds() const
{
    QList<int> ids;
    for (const TaskPanelGroupWidget *group : m_groups) {
        for (const TaskItemWidget *item : group->items()) {
            if (item->isLink())
                ids << item->id();
        }
    }
    return ids;
}

QSize TaskPanel::sizeHint() const
{
    constexpr int Width = 220;
    const QWidget *content = m_scroll->widget();
    const int height = content->hasHeightForWidth() ? content->heightForWidth(Width)
                                                    : content->sizeHint().height();
    return {Width, std::max(height, 120)};
}

void TaskPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, BackgroundTop);
    background.setColorAt(1, BackgroundBottom);
    p.fillRect(rect(), background);
}

} // namespace zeltpc5
