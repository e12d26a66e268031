#include "menus/frm_dummy.h"

#include "app/artwork.h"
#include "app/program.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

FrmDummy::FrmDummy(Program& program) : QWidget(nullptr), program_(program) {
  setWindowTitle(QStringLiteral("Dummy form"));
  CMD = std::make_unique<CommonDialog>(*program_.seams.fileDialogs, nullptr);
  cur_pointer = artwork::pointerCursor();
  cur_move = artwork::moveCursor();
  cur_wait = artwork::waitCursor();
  createMenus();
  popupMenu = [](QMenu* menu) { menu->exec(QCursor::pos()); };
}

FrmDummy::~FrmDummy() = default;

void FrmDummy::createMenus() {
  auto item = [this](QMenu* menu, const char* caption, void (FrmDummy::*handler)()) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  mnu_filelist = new QMenu(QStringLiteral("filelistmenu"), this);
  mnu_addflist = item(mnu_filelist, "&Add to favourite", &FrmDummy::mnu_addflist_Click);
  mnu_filelist->addSeparator();
  mnu_delete = item(mnu_filelist, "&Delete file", &FrmDummy::mnu_delete_Click);

  mnu_list = new QMenu(QStringLiteral("listmenu"), this);
  mnu_removelist = item(mnu_list, "&Remove from favourite", &FrmDummy::mnu_removelist_Click);
  mnu_list->addSeparator();
  mnu_newlist = item(mnu_list, "&New favourite", &FrmDummy::mnu_newlist_Click);
  mnu_openlist = item(mnu_list, "&Open favourite", &FrmDummy::mnu_openlist_Click);
  mnu_savelist = item(mnu_list, "&Save favourite", &FrmDummy::mnu_savelist_Click);

  mnu_img = new QMenu(QStringLiteral("imgmenu"), this);
  mnu_paste = item(mnu_img, "&Paste from clipboard", &FrmDummy::mnu_paste_Click);
  mnu_fullscr = item(mnu_img, "&Full Screen", &FrmDummy::mnu_fullscr_Click);
  mnu_img->addSeparator();
  mnu_openwith = item(mnu_img, "&Open with...", &FrmDummy::mnu_openwith_Click);
  mnu_savebitmap = item(mnu_img, "&Save to bitmap file", &FrmDummy::mnu_savebitmap_Click);

  mnu_full = new QMenu(QStringLiteral("fullmenu"), this);
  mnu_return = item(mnu_full, "&Return...", &FrmDummy::mnu_return_Click);
  mnu_full->addSeparator();
  mnu_control = item(mnu_full, "&Control panel", &FrmDummy::mnu_control_Click);
  mnu_control->setCheckable(true);
  mnu_prev = item(mnu_full, "&Previous", &FrmDummy::mnu_prev_Click);
  mnu_Next = item(mnu_full, "&Next", &FrmDummy::mnu_Next_Click);
}

void FrmDummy::Form_Load() {}

void FrmDummy::popUp(QMenu* menu) { popupMenu(menu); }

void FrmDummy::mnu_addflist_Click() { program_.frm_main->AddFList(); }
void FrmDummy::mnu_removelist_Click() { program_.frm_main->RemoveFList(); }
void FrmDummy::mnu_paste_Click() { program_.frm_main->Paste(); }
void FrmDummy::mnu_openwith_Click() { program_.frm_main->OpenWith(); }
void FrmDummy::mnu_fullscr_Click() { program_.frm_full->show(); }

// The commands below carry their own logic and arrive with their features.
void FrmDummy::mnu_delete_Click() {}
void FrmDummy::mnu_newlist_Click() {}
void FrmDummy::mnu_openlist_Click() {}
void FrmDummy::mnu_savelist_Click() {}
void FrmDummy::mnu_savebitmap_Click() {}
void FrmDummy::mnu_return_Click() {}
void FrmDummy::mnu_control_Click() {}
void FrmDummy::mnu_prev_Click() {}
void FrmDummy::mnu_Next_Click() {}
