// Page side of the message router: defines window.cefQuery and
// window.cefQueryCancel in every frame. Injected at document creation into the
// main world of every frame; the browser prepends qwebchannel.js, whose
// QWebChannel stays local to this function.
//
// Only the top frame talks to the browser (the channel's transport exists in the
// main frame). A same-origin sub-frame reaches the browser through its top
// window's router; a frame that cannot reach it (another origin) gets the same
// failure the browser gives to a query nobody takes.
(function () {
  'use strict';
  var CANCELED_CODE = -1;
  var CANCELED_MESSAGE = 'The query has been canceled';
  if (Object.prototype.hasOwnProperty.call(window, 'cefQuery')) return;

  function later(fn) { setTimeout(fn, 0); }
  function call(fn) {
    if (typeof fn !== 'function') return;
    try { fn.apply(null, Array.prototype.slice.call(arguments, 1)); }
    catch (e) { later(function () { throw e; }); }
  }

  function makeTopRouter() {
    var pending = Object.create(null);  // id -> {onSuccess, onFailure, persistent, frameKey}
    var frames = Object.create(null);   // frame key -> window of a same-origin sub-frame
    var nextId = 1;
    var bridge = null;
    var waiting = [];
    var connecting = false;

    function connect() {
      if (bridge || connecting) return;
      if (typeof qt === 'undefined' || !qt.webChannelTransport) return;
      connecting = true;
      new QWebChannel(qt.webChannelTransport, function (channel) {
        bridge = channel.objects.lumioBridge;
        bridge.response.connect(onResponse);
        var queued = waiting;
        waiting = [];
        queued.forEach(function (fn) { fn(bridge); });
      });
    }
    function withBridge(fn) {
      if (bridge) { fn(bridge); return; }
      waiting.push(fn);
      connect();
    }
    function onResponse(id, success, code, text) {
      var entry = pending[id];
      if (!entry) return;
      if (!success || !entry.persistent) delete pending[id];
      if (success) call(entry.onSuccess, text);
      else call(entry.onFailure, code, text);
    }

    var router = {
      query: function (frame, request, persistent, onSuccess, onFailure) {
        var id = nextId++;
        pending[id] = {onSuccess: onSuccess, onFailure: onFailure,
                       persistent: persistent, frameKey: frame.key};
        withBridge(function (b) { b.query(frame, id, request, persistent); });
        return id;
      },
      cancel: function (id) {
        if (!(id in pending)) return;
        delete pending[id];
        withBridge(function (b) { b.cancel(id); });
      },
      // A sub-frame's document is going away: its queries go with it.
      frameGone: function (key) {
        delete frames[key];
        Object.keys(pending).forEach(function (id) {
          if (pending[id].frameKey === key) router.cancel(Number(id));
        });
      },
      frameLoaded: function (frame, win) {
        frames[frame.key] = win;
        withBridge(function (b) { b.frameLoaded(frame); });
      },
      runInFrame: function (key, code) {
        var win = frames[key];
        if (win) win.eval(code);
      }
    };
    // A sub-frame of another origin cannot reach this router; it posts its address
    // instead. The engine vouches for the sender's origin, so an address of any
    // other origin is not believed. Page listeners never see these messages.
    window.addEventListener('message', function (event) {
      var data = event.data;
      if (!data || typeof data !== 'object' || typeof data.lumioFrameAddress !== 'string') return;
      event.stopImmediatePropagation();
      var url = data.lumioFrameAddress;
      var origin;
      try { origin = new URL(url).origin; } catch (e) { return; }
      if (origin !== event.origin) return;
      withBridge(function (b) {
        b.frameLoaded({key: '', main: false, relayed: true, url: url,
                       name: typeof data.name === 'string' ? data.name : ''});
      });
    }, true);
    if (window === window.top) {
      // The browser learns the main frame's name (a popup's target name) from here.
      withBridge(function (b) {
        b.frameLoaded({key: 'main', main: true, name: String(window.name || ''),
                       url: String(location.href)});
      });
    }
    return router;
  }

  var isTop = window === window.top;
  var frameKey = isTop ? 'main' : Math.random().toString(36).slice(2) + Date.now().toString(36);
  function frameInfo() {
    return {key: frameKey, main: isTop, name: String(window.name || ''),
            url: String(location.href)};
  }
  if (isTop) {
    Object.defineProperty(window, '__lumioRouter', {value: makeTopRouter()});
  }
  function topRouter() {
    try { return window.top.__lumioRouter || null; } catch (e) { return null; }
  }

  var localId = 0;
  window.cefQuery = function (options) {
    if (!options || typeof options !== 'object' || typeof options.request !== 'string') {
      throw new Error('Invalid arguments; expecting a single object with a string "request"');
    }
    var persistent = options.persistent === true;
    var router = topRouter();
    if (!router) {
      later(function () { call(options.onFailure, CANCELED_CODE, CANCELED_MESSAGE); });
      return --localId;
    }
    return router.query(frameInfo(), options.request, persistent,
                        options.onSuccess, options.onFailure);
  };
  window.cefQueryCancel = function (id) {
    var router = topRouter();
    if (router && typeof id === 'number') router.cancel(id);
  };

  if (!isTop) {
    var router = topRouter();
    if (router) {
      router.frameLoaded(frameInfo(), window);
      window.addEventListener('hashchange', function () {
        var r = topRouter();
        if (r) r.frameLoaded(frameInfo(), window);
      });
      window.addEventListener('pagehide', function () {
        var r = topRouter();
        if (r) r.frameGone(frameKey);
      });
    } else {
      var postAddress = function () {
        try {
          window.top.postMessage({lumioFrameAddress: String(location.href),
                                  name: String(window.name || '')}, '*');
        } catch (e) {}
      };
      postAddress();
      window.addEventListener('hashchange', postAddress);
    }
  }
})();
