#include "player/PlayerKeys.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "player/core/PlayerSession.h"

namespace {

constexpr Qt::KeyboardModifiers kHeldModifiers =
    Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

constexpr double kSeekStepMs = 5000;
constexpr int kVolumeStep = 10;

bool OneOf(int key, std::initializer_list<int> keys) {
  for (int k : keys)
    if (k == key) return true;
  return false;
}

}  // namespace

void PlayerKeys::Add(QList<int> keys, QString keyText, QString action, std::function<void()> run,
                     Qt::KeyboardModifiers modifiers) {
  entries_.append(PlayerKey{std::move(keys), modifiers & kHeldModifiers, std::move(keyText),
                            std::move(action), std::move(run)});
}

const PlayerKey* PlayerKeys::Find(int key, Qt::KeyboardModifiers modifiers) const {
  const Qt::KeyboardModifiers held = modifiers & kHeldModifiers;
  for (const PlayerKey& entry : entries_)
    if (entry.modifiers == held && entry.keys.contains(key)) return &entry;
  return nullptr;
}

bool PlayerKeys::Handle(const QKeyEvent* event) const {
  const PlayerKey* entry = Find(event->key(), event->modifiers());
  if (!entry) return false;
  if (entry->run) entry->run();
  return true;
}

bool PlayerKeys::WidgetKeepsKey(const QWidget* focus, const QKeyEvent* event) {
  if (!focus) return false;
  const int key = event->key();
  const QVariant named = focus->property("keepsKeys");
  if (named.isValid()) {
    for (const QVariant& k : named.toList())
      if (k.toInt() == key) return true;
  }
  if (event->modifiers() & kHeldModifiers) return false;
  if (qobject_cast<const QComboBox*>(focus)) {
    return OneOf(key, {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home,
                       Qt::Key_End, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_F4});
  }
  if (qobject_cast<const QAbstractItemView*>(focus)) {
    return OneOf(key, {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp,
                       Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End, Qt::Key_Space, Qt::Key_Return,
                       Qt::Key_Enter});
  }
  if (qobject_cast<const QAbstractSlider*>(focus)) {
    return OneOf(key, {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp,
                       Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End});
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(focus)) {
    return !edit->isReadOnly() && key != Qt::Key_F1;
  }
  return false;
}

void AddPlayerKeys(PlayerKeys& keys, PlayerSession& session, std::function<void()> showHelp) {
  PlayerSession* s = &session;
  keys.Add({Qt::Key_Space}, QStringLiteral("Space"), QStringLiteral("play / pause"),
           [s] { s->TogglePlay(); });
  keys.Add({Qt::Key_Left}, QStringLiteral("Left"), QStringLiteral("back 5 s"),
           [s] { s->SeekBy(-kSeekStepMs); });
  keys.Add({Qt::Key_Right}, QStringLiteral("Right"), QStringLiteral("forward 5 s"),
           [s] { s->SeekBy(kSeekStepMs); });
  keys.Add({Qt::Key_PageUp}, QStringLiteral("Page Up"),
           QStringLiteral("previous slide (plays from its time)"), [s] { s->StepSlide(-1); });
  keys.Add({Qt::Key_PageDown}, QStringLiteral("Page Down"),
           QStringLiteral("next slide (plays from its time)"), [s] { s->StepSlide(1); });
  keys.Add({Qt::Key_Home}, QStringLiteral("Home"), QStringLiteral("first slide"),
           [s] { s->FirstSlide(); });
  keys.Add({Qt::Key_Up}, QStringLiteral("Up"), QStringLiteral("volume up"),
           [s] { s->ChangeVolume(kVolumeStep); });
  keys.Add({Qt::Key_Down}, QStringLiteral("Down"), QStringLiteral("volume down"),
           [s] { s->ChangeVolume(-kVolumeStep); });
  keys.Add({Qt::Key_M}, QStringLiteral("M"), QStringLiteral("mute / sound on"),
           [s] { s->ToggleMute(); });
  keys.Add({Qt::Key_BracketRight}, QStringLiteral("]"), QStringLiteral("faster (up to 2x)"),
           [s] { s->ChangeSpeed(kSpeedStep); });
  keys.Add({Qt::Key_BracketLeft}, QStringLiteral("["), QStringLiteral("slower (down to 0.5x)"),
           [s] { s->ChangeSpeed(-kSpeedStep); });
  keys.Add({Qt::Key_Backspace}, QStringLiteral("Backspace"), QStringLiteral("normal speed"),
           [s] { s->SetSpeed(1.0); });
  keys.Add({Qt::Key_F1, Qt::Key_Question}, QStringLiteral("F1 or ?"),
           QStringLiteral("this list of keys"), std::move(showHelp));
}

KeyHelpWindow::KeyHelpWindow(const PlayerKeys& keys, QWidget* parent)
    : QDialog(parent), keys_(keys) {
  setObjectName(QStringLiteral("KeyHelp"));
  setWindowTitle(tr("Keys"));
  setAccessibleName(tr("Keys"));
  setAccessibleDescription(tr("The keys of the player and what they do"));
  table_ = new QTableWidget(this);
  table_->setColumnCount(2);
  table_->setHorizontalHeaderLabels({tr("Key"), tr("Action")});
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setAccessibleName(tr("Key list"));
  table_->setAccessibleDescription(tr("One row per key: the key and what it does"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setAccessibleName(tr("Close the key list"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(buttons);
  Refresh();
  resize(360, 400);
}

void KeyHelpWindow::Refresh() {
  const QList<PlayerKey>& entries = keys_.Entries();
  table_->setRowCount(int(entries.size()));
  for (int row = 0; row < entries.size(); ++row) {
    table_->setItem(row, 0, new QTableWidgetItem(entries[row].keyText));
    table_->setItem(row, 1, new QTableWidgetItem(entries[row].action));
  }
  table_->resizeColumnToContents(0);
}
