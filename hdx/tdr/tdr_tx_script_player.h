// Plays recorded editing scripts back: every call line of a script written by
// the script recorder (or by hand, in the same format) becomes one call on a
// transaction session, its instance working objects or their node lists.
// "save_session" lines save the session, and with verification each saved
// state is compared with the snapshot the recorder kept beside the script.
//
// The whole script is parsed before anything runs, so a script with a bad line
// writes nothing. While running, a line that cannot be replayed stops the
// replay; saves made before it stay.
#ifndef TDR_TX_SCRIPT_PLAYER_H
#define TDR_TX_SCRIPT_PLAYER_H

#include <functional>
#include <string>
#include <vector>

class TDR_TX_SESSION;

class TDR_TX_SCRIPT_PLAYER {
 public:
  enum RESULT {
    REPLAY_OK = 0,
    // Every line ran, but a saved state differs from its snapshot.
    REPLAY_MISMATCH = 1,
    // A line could not be parsed or replayed (see get_error()).
    REPLAY_FAILED = 2
  };

  TDR_TX_SCRIPT_PLAYER();
  ~TDR_TX_SCRIPT_PLAYER();
  TDR_TX_SCRIPT_PLAYER(const TDR_TX_SCRIPT_PLAYER&) = delete;
  TDR_TX_SCRIPT_PLAYER& operator=(const TDR_TX_SCRIPT_PLAYER&) = delete;

  // The session file the first "open_session" line opens instead of its own
  // (and that is opened when a call comes before any session line).
  void set_from_file(const std::string& file);
  // Folder of the files "save_session" lines write (default: the current one).
  void set_output_dir(const std::string& dir);
  void set_verify(bool verify);
  // Receives each warning and mismatch line ("SCRIPT:LINE: ...") as it is made.
  void set_report(std::function<void(const std::string&)> report);

  // Reads and parses SCRIPT; `label` names it in messages (default: the path).
  bool load_file(const std::string& path, const std::string& label = std::string());
  // Parses `text` as a script lying in folder `dir`.
  bool load_text(const std::string& text, const std::string& dir, const std::string& label);

  // Runs a loaded script on a new transaction session, closed at the end
  // (without recovery files).
  RESULT run();
  // Runs a loaded script's calls on `session`, a session the caller has open and
  // keeps afterwards (an editor applying a batch edit): the script's first
  // open_session or create_session line stands for it and a close_session line
  // only ends the script's use of it; opening another session fails.
  RESULT run(TDR_TX_SESSION* session);

  // "SCRIPT:LINE: reason" of the failure, empty when none.
  const std::string& get_error() const;
  // Call lines parsed, and each one shown in a canonical form: the head, then
  // the arguments as 3, true, NULL, <text>, =N for an enumeration, [1,2] for
  // a list.
  int get_num_calls() const;
  std::string describe_call(int index) const;
  // Automatic names queued from the script's "// auto_name" lines.
  const std::vector<std::string>& get_auto_names() const;

  int get_calls_replayed() const;
  int get_check_points_saved() const;
  int get_check_points_verified() const;
  // Numbers (from 1) of the check points whose saved state differed.
  const std::vector<int>& get_mismatches() const;
  // One line: calls replayed, check points saved, verified.
  std::string get_summary() const;

  struct STATE;

 private:
  STATE* m_state;
};

#endif
