// Suite mutex.
#ifndef H_THR_H
#define H_THR_H

#include <pthread.h>

struct THR_MUTEX_OBJ {
  pthread_mutex_t mutex;
  bool initialised;
};

void thr_mutex_init(THR_MUTEX_OBJ* m);
void thr_mutex_lock(THR_MUTEX_OBJ* m);
void thr_mutex_unlock(THR_MUTEX_OBJ* m);

#endif
