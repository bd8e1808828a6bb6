// The peer's window.cefQuery: the page's requests go over the web channel as they
// are, and each answer runs the request's callback. Main frame, main world only.
(function () {
  'use strict';
  var pending = Object.create(null);
  var nextId = 1;
  var bridge = null;
  var waiting = [];
  new QWebChannel(qt.webChannelTransport, function (channel) {
    bridge = channel.objects.peerBridge;
    bridge.response.connect(function (id, success, code, text) {
      var entry = pending[id];
      if (!entry) return;
      delete pending[id];
      if (success) {
        if (typeof entry.onSuccess === 'function') entry.onSuccess(text);
      } else if (typeof entry.onFailure === 'function') {
        entry.onFailure(code, text);
      }
    });
    var queued = waiting;
    waiting = null;
    queued.forEach(function (q) { bridge.query(q[0], q[1], q[2]); });
  });
  // |echo| false: the answer is "{}" instead of the request.
  // With window.__peerAnswersInReply set, the answer comes back as the call's own
  // result, the web channel's reply to it, instead of as a signal after it.
  window.cefQuery = function (options) {
    var id = nextId++;
    var echo = options.echo !== false;
    if (window.__peerAnswersInReply && bridge) {
      bridge.answer(options.request, echo, function (text) {
        if (typeof options.onSuccess === 'function') options.onSuccess(text);
      });
      return id;
    }
    pending[id] = options;
    if (bridge) bridge.query(id, options.request, echo);
    else waiting.push([id, options.request, echo]);
    return id;
  };
})();
