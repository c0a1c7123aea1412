// Opens a session through an installed libtdr and prints its instance names.
#include <tdr_data_manager.h>
#include <tdr_data_session.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  TDR_DATA_SESSION* s = TDR_DATA_MANAGER::get_data_repository_manager()->open_session(argv[1]);
  if (!s) return 1;
  for (int i = 0; i < s->get_num_instances(); ++i)
    std::printf("%s\n", s->get_instance_at(i)->get_name());
  TDR_DATA_MANAGER::get_data_repository_manager()->close_session(argv[1]);
  TDR_DATA_MANAGER::shutdown();
  return 0;
}
