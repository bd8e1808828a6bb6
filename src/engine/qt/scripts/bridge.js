// Page side of the message router, in the program's own script world of every
// frame. The page's scripts run in another world: they share the document with
// this script but none of its variables or built-ins, so a page that defines a
// global named "qt", or replaces JSON or Function.prototype.apply, neither breaks
// nor overhears the bridge.
//
// The page reaches this world only through query_stub.js, the small stub that
// defines window.cefQuery and window.cefQueryCancel in the page's world. At
// document creation, before any page script runs, the stub hands this script a
// detached element (its "port"); requests and answers travel as the text of
// events on that element, which no page script can reach. Only strings cross
// between the worlds.
//
// Only the top frame's world has the web channel's transport; the router there
// speaks the channel's protocol itself and sends what the page's documents do in
// one turn of the event loop as one message (see BridgeObject in qt_browser.h).
// A sub-frame that
// can reach its top window's world (same origin) sends its queries through it; a
// frame that cannot (another origin) fails them the way the browser fails a query
// nobody takes, and posts its address to the top window instead.
//
// Every document announces itself with a random key and the origin the engine
// gave it; the browser keeps its queries apart from every other document's.
//
// The engine gives about:blank documents their scripts only after their first
// turn, too late for the page's own load handlers. When a frame of ours loads one,
// this script starts itself and the page's stub in it: |bridgeSource| is the text
// of the function that encloses this script, |pageSource| the stub's. The copies
// the engine runs later find them there and step aside.
//
// The bridge script is this file in one function that starts with records.js
// and answer_batches.js.
if (Object.prototype.hasOwnProperty.call(window, '__lumioDocumentKey')) return;
var PORT_EVENT = 'lumio-bridge-port';

var isTop = window === window.top;
// The document's own origin: about:blank, srcdoc and blob: documents have their
// creator's, data: and sandboxed ones the opaque "null".
var origin = String(self.origin);
var documentKey = randomKey();
Object.defineProperty(window, '__lumioDocumentKey', {value: documentKey});

function randomKey() {
  var bytes = new Uint8Array(16);
  crypto.getRandomValues(bytes);
  var text = '';
  for (var i = 0; i < bytes.length; i++) text += (bytes[i] + 256).toString(16).slice(1);
  return text;
}
function later(fn) { setTimeout(fn, 0); }
// A page chooses its frames' names; only this much of one is passed on.
var MAX_NAME = 1024;
function frameName(name) {
  name = String(name || '');
  return name.length > MAX_NAME ? '' : name;
}
function announcement() {
  return {key: documentKey, main: isTop, origin: origin, url: String(location.href),
          name: frameName(window.name)};
}

// -- the stub's port --

var port = null;
// The stub reads answers as records (records.js), all those of one message
// together.
function deliver(records) {
  if (port) port.dispatchEvent(new CustomEvent('lumio-response', {detail: records}));
}
// Runs |code| where the page's scripts run.
function runInPage(code, doc) {
  doc = doc || document;
  var script = doc.createElement('script');
  script.textContent = code;
  (doc.documentElement || doc).appendChild(script);
  script.remove();
}

// A frame of this document has loaded: if its document is of our origin and has
// no bridge yet (about:blank), it gets one, before the page's own load handlers
// run. This listener comes first: ancestors capture before the target.
document.addEventListener('load', function (event) {
  var target = event.target;
  if (!(target instanceof HTMLIFrameElement || target instanceof HTMLFrameElement)) return;
  var win, doc;
  try {
    win = target.contentWindow;
    doc = target.contentDocument;
    if (!win || !doc || Object.prototype.hasOwnProperty.call(win, '__lumioDocumentKey')) return;
  } catch (e) {
    return;  // another origin
  }
  win.eval('(' + bridgeSource + ')(' + JSON.stringify(bridgeSource) + ', ' +
           JSON.stringify(pageSource) + ');');
  runInPage(pageSource, doc);
}, true);

// -- the top frame: the web channel and every document of the page --

// The web channel's message types and the browser's object.
var SIGNAL = 1, INIT = 3, IDLE = 4, INVOKE_METHOD = 6, CONNECT_TO_SIGNAL = 7, RESPONSE = 10;
var BRIDGE_OBJECT = 'lumioBridge';
// A batch is sent at the end of the turn, or as soon as it holds this much.
var BATCH_ENTRIES = 1000;
var BATCH_CHARACTERS = 1024 * 1024;

function makeTopRouter() {
  var post = null;  // sends a batch, once the channel is up
  var connecting = false;
  var unsent = [];  // batches made before
  var documents = Object.create(null);  // key -> {deliver, run}
  var batch = [];
  var batchCharacters = 0;
  var flushQueued = false;

  function onAnswers(answers) {
    deliverAnswers(answers, documents, BATCH_CHARACTERS);
  }

  // Replies are matched to calls by ids that name this document: a reply meant
  // for the document before this one is not taken for one of ours.
  function connect() {
    if (post || connecting) return;
    var transport = typeof qt !== 'undefined' && qt.webChannelTransport;
    if (!transport) return;
    connecting = true;
    var calls = Object.create(null);
    var nextCall = 0;
    var responsesSignal = null;
    function send(message, callback) {
      if (callback) {
        message.id = documentKey + '.' + nextCall++;
        calls[message.id] = callback;
      }
      transport.send(JSON.stringify(message));
    }
    transport.onmessage = function (message) {
      var data = message.data;
      if (typeof data === 'string') data = JSON.parse(data);
      if (!data || typeof data !== 'object') return;
      if (data.type === RESPONSE) {
        var callback = calls[data.id];
        if (!callback) return;
        delete calls[data.id];
        callback(data.data);
      } else if (data.type === SIGNAL && data.object === BRIDGE_OBJECT &&
                 data.signal === responsesSignal && Array.isArray(data.args)) {
        onAnswers(data.args[0]);
      }
    };
    send({type: INIT}, function (objects) {
      var signals = objects && objects[BRIDGE_OBJECT] && objects[BRIDGE_OBJECT].signals;
      (Array.isArray(signals) ? signals : []).forEach(function (signal) {
        if (signal[0] === 'responses') responsesSignal = signal[1];
      });
      send({type: CONNECT_TO_SIGNAL, object: BRIDGE_OBJECT, signal: responsesSignal});
      send({type: IDLE});
      post = function (entries) {
        send({type: INVOKE_METHOD, object: BRIDGE_OBJECT, method: 'post', args: [entries]},
             onAnswers);
      };
      var queued = unsent;
      unsent = [];
      queued.forEach(post);
    });
  }

  function flush() {
    flushQueued = false;
    if (!batch.length) return;
    var entries = batch;
    batch = [];
    batchCharacters = 0;
    if (post) {
      post(entries);
    } else {
      unsent.push(entries);
      connect();
    }
  }
  function enqueue(entry, characters) {
    batch.push(entry);
    batchCharacters += characters;
    if (batch.length >= BATCH_ENTRIES || batchCharacters >= BATCH_CHARACTERS) {
      flush();
    } else if (!flushQueued) {
      flushQueued = true;
      queueMicrotask(flush);
    }
  }

  // A frame of another origin cannot reach this world; it posts its address
  // instead. Passed on only from a web origin for an address of that origin
  // (or from a data: frame for a data: address), and once per load of that
  // frame: a frame cannot navigate faster than it loads. Loads of frames deeper
  // down are not seen here, so they may report once a second at most. The
  // browser believes an address only for a load it saw a frame make. Page
  // listeners never see these messages.
  var lastReport = new WeakMap();  // frame window -> time of its last report
  document.addEventListener('load', function (event) {
    var target = event.target;
    if ((target instanceof HTMLIFrameElement || target instanceof HTMLFrameElement) &&
        target.contentWindow) {
      lastReport.delete(target.contentWindow);
    }
  }, true);
  function isChildFrame(win) {
    for (var i = 0; i < window.frames.length; i++) {
      if (window.frames[i] === win) return true;
    }
    return false;
  }
  window.addEventListener('message', function (event) {
    var data = event.data;
    if (!data || typeof data !== 'object' || typeof data.lumioFrameAddress !== 'string') return;
    event.stopImmediatePropagation();
    var source = event.source;
    var url = data.lumioFrameAddress;
    var parsed;
    try { parsed = new URL(url); } catch (e) { return; }
    // A data: frame has the opaque origin "null", as its address has.
    var web = parsed.protocol === 'http:' || parsed.protocol === 'https:';
    if (!source || (!web && parsed.protocol !== 'data:') || parsed.origin !== event.origin) {
      return;
    }
    var now = performance.now();
    var last = lastReport.get(source);
    if (last !== undefined && (isChildFrame(source) || now - last < 1000)) return;
    lastReport.set(source, now);
    var name = frameName(typeof data.name === 'string' ? data.name : '');
    enqueue(['a', {url: url, senderOrigin: String(event.origin), name: name}],
            url.length + name.length);
  }, true);

  return {
    open: function (doc, handlers) {
      documents[doc.key] = handlers;
      enqueue(['d', doc], doc.url.length + doc.name.length);
    },
    gone: function (key) {
      if (!(key in documents)) return;
      delete documents[key];
      enqueue(['g', key], 0);
    },
    query: function (key, id, request, persistent) {
      enqueue(['q', key, id, request, persistent], request.length);
    },
    request: function (key, id, request) {
      enqueue(['n', key, id, request], request.length);
    },
    cancel: function (key, id) {
      enqueue(['c', key, id], 0);
    },
    run: function (key, code) {
      var doc = documents[key];
      if (doc) doc.run(code);
    }
  };
}

var router = null;
if (isTop) {
  router = makeTopRouter();
  Object.defineProperty(window, '__lumioRouter', {value: router});
  // The browser reaches the documents of the page through here.
  Object.defineProperty(window, '__lumioRunInDocument', {value: router.run});
  // Once the browser has asked the page whether it may close, and it may, the
  // unload that follows does not ask again.
  var closing = false;
  Object.defineProperty(window, '__lumioClosing', {value: function () { closing = true; }});
  window.addEventListener('beforeunload', function (event) {
    if (closing) event.stopImmediatePropagation();
  }, true);
} else {
  try { router = window.top.__lumioRouter || null; } catch (e) { router = null; }
}

// -- this document's queries --

function onQuery(id, request, persistent) {
  if (!router) {
    later(function () { deliver(answerRecord(id, false, CANCELED_CODE, CANCELED_MESSAGE)); });
    return;
  }
  router.query(documentKey, id, request, persistent);
}
// A cross-origin request that the engine refused this document, for the
// browser to send again if it trusts the document.
function onProgramRequest(id, request) {
  if (!router) {
    later(function () { deliver(answerRecord(id, false, CANCELED_CODE, CANCELED_MESSAGE)); });
    return;
  }
  router.request(documentKey, id, request);
}
function onCancel(id) {
  if (router) router.cancel(documentKey, id);
}

document.addEventListener(PORT_EVENT, function (event) {
  var element = event.relatedTarget;
  if (port || !(element instanceof Element)) return;
  event.stopImmediatePropagation();
  event.preventDefault();  // tells the stub that its port is taken
  port = element;
  port.addEventListener('lumio-requests', function (event) {
    readRequests(event.detail, onQuery, onProgramRequest, onCancel);
  });
}, true);

if (router) {
  router.open(announcement(), {deliver: deliver, run: runInPage});
  if (!isTop) {
    // A same-document navigation changes the address the browser knows.
    window.addEventListener('hashchange', function () {
      router.open(announcement(), {deliver: deliver, run: runInPage});
    });
    window.addEventListener('pagehide', function () { router.gone(documentKey); });
  }
} else if (!isTop) {
  try {
    window.top.postMessage({lumioFrameAddress: String(location.href),
                            name: String(window.name || '')}, '*');
  } catch (e) {}
}
