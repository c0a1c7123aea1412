// Suite mutex over POSIX threads.
#include "thr.h"

void thr_mutex_init(THR_MUTEX_OBJ* m) {
  if (!m || m->initialised) return;
  pthread_mutex_init(&m->mutex, nullptr);
  m->initialised = true;
}

void thr_mutex_lock(THR_MUTEX_OBJ* m) {
  if (m && m->initialised) pthread_mutex_lock(&m->mutex);
}

void thr_mutex_unlock(THR_MUTEX_OBJ* m) {
  if (m && m->initialised) pthread_mutex_unlock(&m->mutex);
}
