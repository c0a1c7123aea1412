// The editor's entry point to the editing layer: it owns the script recorder
// and the session's modified flag, and routes editing calls to the working
// objects of each instance.
#ifndef TDR_TX_SESSION_H
#define TDR_TX_SESSION_H

class TDR_TX_SCRIPT_RECORDER;
class TDR_TX_TREE_OBJECT;

class TDR_TX_SESSION {
 public:
  // A null tree means the library's own tree object.
  explicit TDR_TX_SESSION(TDR_TX_TREE_OBJECT* tree = nullptr);
  ~TDR_TX_SESSION();
  TDR_TX_SESSION(const TDR_TX_SESSION&) = delete;
  TDR_TX_SESSION& operator=(const TDR_TX_SESSION&) = delete;

  bool is_modified() const;
  void set_undoable_modified_flag();
  void disable_script_recording();

  TDR_TX_SCRIPT_RECORDER* get_script_recorder() const { return m_script_recorder; }
  TDR_TX_TREE_OBJECT* get_tree_object() const { return m_tree_object; }

 private:
  bool m_modified = false;
  TDR_TX_TREE_OBJECT* m_tree_object;
  TDR_TX_TREE_OBJECT* m_own_tree = nullptr;
  TDR_TX_SCRIPT_RECORDER* m_script_recorder;
};

#endif
