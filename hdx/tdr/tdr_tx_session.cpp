#define TDR_SOURCE_FILE "tdr_tx_session"

#include "tdr_tx_session.h"

#include "tdr_data_manager.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_tree_object.h"

TDR_TX_SESSION::TDR_TX_SESSION(TDR_TX_TREE_OBJECT* tree)
    : m_data_manager(TDR_DATA_MANAGER::get_data_repository_manager()),
      m_tree_object(tree),
      m_script_recorder(new TDR_TX_SCRIPT_RECORDER()) {
  if (!m_tree_object) m_tree_object = m_own_tree = new TDR_TX_GENERIC_TREE_OBJECT();
}

TDR_TX_SESSION::~TDR_TX_SESSION() {
  delete m_own_tree;
  delete m_script_recorder;
}

bool TDR_TX_SESSION::is_modified() const { return m_modified; }

void TDR_TX_SESSION::set_undoable_modified_flag() {
  TDR_TX_RECORD(func, m_script_recorder, "set_undoable_modified_flag");
  m_modified = true;
}

void TDR_TX_SESSION::disable_script_recording() { m_script_recorder->disable(); }
