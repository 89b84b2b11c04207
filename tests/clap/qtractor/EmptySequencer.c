/* An ALSA sequencer with nothing on it, for a machine with no /dev/snd/seq: loaded with
   LD_PRELOAD into a program that will not start its audio engine without a sequencer. It opens,
   names itself, makes the ports and the queue it is asked for, finds no other client or port,
   takes every event it is given and never delivers one. Its poll descriptor is the reading end
   of a pipe nobody writes to. The info structures the caller passes stay as the caller made
   them, so everything that only reads or writes those is left to the real library. */
#include <errno.h>
#include <poll.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

/* Most calls have nothing to do with what they are given. */
#pragma GCC diagnostic ignored "-Wunused-parameter"

typedef struct EmptySequencer {
  int pipe[2];
  int ports;
} EmptySequencer;

static EmptySequencer sequencer = {{-1, -1}, 0};

EXPORT int snd_seq_open(void** handle, const char* name, int streams, int mode) {
  if (sequencer.pipe[0] < 0 && pipe(sequencer.pipe) != 0)
    return -errno;
  *handle = &sequencer;
  return 0;
}

EXPORT int snd_seq_close(void* seq) {
  return seq == &sequencer ? 0 : -EINVAL;
}
EXPORT int snd_seq_client_id(void* seq) {
  return seq == &sequencer ? 128 : -EINVAL;
}

EXPORT int snd_seq_poll_descriptors_count(void* seq, short events) {
  return 1;
}

EXPORT int snd_seq_poll_descriptors(void* seq, struct pollfd* fds, unsigned int space,
                                    short events) {
  if (space < 1)
    return 0;
  fds[0].fd = sequencer.pipe[0];
  fds[0].events = events & POLLIN;
  fds[0].revents = 0;
  return 1;
}

EXPORT int snd_seq_create_simple_port(void* seq, const char* name, unsigned int caps,
                                      unsigned int type) {
  return sequencer.ports++;
}

/* Calls that succeed and change nothing. */
#define SUCCEEDS(name, ...)                                                                        \
  EXPORT int name(__VA_ARGS__) {                                                                   \
    return 0;                                                                                      \
  }
SUCCEEDS(snd_seq_set_client_name, void* seq, const char* name)
SUCCEEDS(snd_seq_delete_simple_port, void* seq, int port)
SUCCEEDS(snd_seq_alloc_queue, void* seq)
SUCCEEDS(snd_seq_free_queue, void* seq, int queue)
SUCCEEDS(snd_seq_control_queue, void* seq, int queue, int type, int value, void* event)
SUCCEEDS(snd_seq_get_queue_tempo, void* seq, int queue, void* tempo)
SUCCEEDS(snd_seq_set_queue_tempo, void* seq, int queue, void* tempo)
SUCCEEDS(snd_seq_get_queue_status, void* seq, int queue, void* status)
SUCCEEDS(snd_seq_set_queue_timer, void* seq, int queue, void* timer)
SUCCEEDS(snd_seq_get_port_info, void* seq, int port, void* info)
SUCCEEDS(snd_seq_set_port_info, void* seq, int port, void* info)
SUCCEEDS(snd_seq_subscribe_port, void* seq, void* subscription)
SUCCEEDS(snd_seq_unsubscribe_port, void* seq, void* subscription)
SUCCEEDS(snd_seq_event_output, void* seq, void* event)
SUCCEEDS(snd_seq_event_output_direct, void* seq, void* event)
SUCCEEDS(snd_seq_drain_output, void* seq)
SUCCEEDS(snd_seq_drop_input, void* seq)
SUCCEEDS(snd_seq_drop_output, void* seq)
SUCCEEDS(snd_seq_remove_events, void* seq, void* remove)
SUCCEEDS(snd_seq_event_input_pending, void* seq, int fetch)
SUCCEEDS(snd_seq_free_event, void* event)

/* Nothing else is on this sequencer, and nothing ever arrives. */
#define FINDS_NOTHING(name, ...)                                                                   \
  EXPORT int name(__VA_ARGS__) {                                                                   \
    return -ENOENT;                                                                                \
  }
FINDS_NOTHING(snd_seq_get_any_client_info, void* seq, int client, void* info)
FINDS_NOTHING(snd_seq_get_any_port_info, void* seq, int client, int port, void* info)
FINDS_NOTHING(snd_seq_query_next_client, void* seq, void* info)
FINDS_NOTHING(snd_seq_query_next_port, void* seq, void* info)
FINDS_NOTHING(snd_seq_query_port_subscribers, void* seq, void* subscription)

EXPORT int snd_seq_event_input(void* seq, void** event) {
  *event = 0;
  return -EAGAIN;
}
