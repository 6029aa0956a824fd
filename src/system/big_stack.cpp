#include "system/big_stack.h"

#include <pthread.h>

namespace tb {

namespace {
struct Job {
    const std::function<int()>* body;
    int result = 0;
};
void* Trampoline(void* p) {
    Job* job = static_cast<Job*>(p);
    job->result = (*job->body)();
    return nullptr;
}
}  // namespace

int RunWithStack(size_t bytes, const std::function<int()>& body) {
    Job job{&body};
    pthread_attr_t attr;
    pthread_t thread;
    if (pthread_attr_init(&attr) != 0) return body();
    bool started = pthread_attr_setstacksize(&attr, bytes) == 0 &&
                   pthread_create(&thread, &attr, Trampoline, &job) == 0;
    pthread_attr_destroy(&attr);
    if (!started) return body();  // no thread: the main stack is all there is
    pthread_join(thread, nullptr);
    return job.result;
}

}  // namespace tb
