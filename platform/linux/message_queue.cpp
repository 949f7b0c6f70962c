// The window layer's own queue on the GTK main context: posted messages, messages sent from
// other threads (their senders wait on a condition variable) and tasks for the UI thread.
#include <glib.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/linux/window_impl.h"

namespace platform {
namespace {

struct Reply {
    bool done = false;
    std::intptr_t result = 0;
};

struct Item {
    std::shared_ptr<Window::Impl> target;  // null for a task
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::function<void()> task;
    std::shared_ptr<Reply> reply;  // set when someone waits for it
};

std::mutex g_mutex;
std::condition_variable g_replied;
std::deque<Item> g_items;
std::atomic<std::size_t> g_count{0};
GSource* g_source = nullptr;

void Wake() {
    // The queue's source reports ready in prepare; a sleeping loop only needs a wake-up.
    g_main_context_wakeup(g_main_context_default());
}

void Complete(const std::shared_ptr<Reply>& reply, std::intptr_t result) {
    if (reply) {
        std::lock_guard lock(g_mutex);
        reply->done = true;
        reply->result = result;
        g_replied.notify_all();
    }
}

void RunItem(Item& item) {
    std::intptr_t result = 0;
    if (item.task) {
        item.task();
    } else if (item.target && item.target->exists.load()) {
        result = Deliver(*item.target, item.msg, item.wParam, item.lParam);
    }
    Complete(item.reply, result);
}

gboolean Prepare(GSource*, gint* timeout) {
    *timeout = -1;
    return g_count.load() > 0;
}

gboolean Check(GSource*) {
    return g_count.load() > 0;
}

gboolean Dispatch(GSource*, GSourceFunc, gpointer) {
    // Only what is queued now: a handler that keeps posting must not starve input and paint.
    std::size_t budget = g_count.load();
    while (budget-- > 0) {
        Item item;
        {
            std::lock_guard lock(g_mutex);
            if (g_items.empty()) {
                break;
            }
            item = std::move(g_items.front());
            g_items.pop_front();
            g_count.store(g_items.size());
        }
        RunItem(item);
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs g_funcs = {Prepare, Check, Dispatch, nullptr, nullptr, nullptr};

void Enqueue(Item item, bool wait) {
    std::shared_ptr<Reply> reply;
    if (wait) {
        reply = std::make_shared<Reply>();
        item.reply = reply;
    }
    std::unique_lock lock(g_mutex);
    g_items.push_back(std::move(item));
    g_count.store(g_items.size());
    Wake();
    if (wait) {
        g_replied.wait(lock, [&] { return reply->done; });
    }
}

}  // namespace

void AttachMessageQueue() {
    if (g_source != nullptr) {
        return;
    }
    g_source = g_source_new(&g_funcs, sizeof(GSource));
    // Below the toolkit's redraw (GDK_PRIORITY_REDRAW, 120): a worker sending progress
    // without pause must not keep the window from painting it.
    g_source_set_priority(g_source, G_PRIORITY_HIGH_IDLE + 30);
    // A handler may run a nested loop (a modal dialog) that must go on dispatching.
    g_source_set_can_recurse(g_source, TRUE);
    g_source_set_name(g_source, "window messages");
    g_source_attach(g_source, g_main_context_default());
}

bool QueueMessage(const std::shared_ptr<Window::Impl>& target, unsigned msg, std::uintptr_t w,
                  std::intptr_t l, bool wait, std::intptr_t* result) {
    std::shared_ptr<Reply> reply;
    {
        std::unique_lock lock(g_mutex);
        if (!target->accepting) {
            if (result != nullptr) {
                *result = 0;
            }
            return false;
        }
        Item item;
        item.target = target;
        item.msg = msg;
        item.wParam = w;
        item.lParam = l;
        if (wait) {
            reply = std::make_shared<Reply>();
            item.reply = reply;
        }
        g_items.push_back(std::move(item));
        g_count.store(g_items.size());
        Wake();
        if (wait) {
            g_replied.wait(lock, [&] { return reply->done; });
        }
    }
    if (result != nullptr) {
        *result = reply ? reply->result : 0;
    }
    return true;
}

void QueueTask(std::function<void()> task, bool wait) {
    Item item;
    item.task = std::move(task);
    Enqueue(std::move(item), wait);
}

void SetAccepting(Window::Impl& impl, bool accepting) {
    std::deque<Item> dropped;
    {
        std::lock_guard lock(g_mutex);
        impl.accepting = accepting;
        if (accepting) {
            return;
        }
        for (auto it = g_items.begin(); it != g_items.end();) {
            if (it->target.get() == &impl) {
                if (it->reply) {
                    it->reply->done = true;
                    it->reply->result = 0;
                }
                dropped.push_back(std::move(*it));
                it = g_items.erase(it);
            } else {
                ++it;
            }
        }
        g_count.store(g_items.size());
        g_replied.notify_all();
    }
    // `dropped` releases its references to the window outside the lock.
}

}  // namespace platform
