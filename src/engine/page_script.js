// window.cefQuery and window.cefQueryCancel, in the page's own script world of
// every frame. Runs at document creation, before any page script, and hands
// bridge_script.js (in the program's script world) a detached element that
// carries requests and answers; no page script can reach that element.
//
// Page scripts may later replace any built-in (JSON, Function.prototype.apply,
// Object.keys, prototype getters): everything used after start-up is taken here
// first and called through Reflect.apply, and only primitive values cross to
// the other world.
(function () {
  'use strict';
  var apply = Reflect.apply;
  var createObject = Object.create;
  var ErrorType = Error;
  var CustomEventType = CustomEvent;
  var eventDetail = Object.getOwnPropertyDescriptor(CustomEvent.prototype, 'detail').get;
  var setTimer = window.setTimeout;
  var dispatch = EventTarget.prototype.dispatchEvent;
  var listen = EventTarget.prototype.addEventListener;
  var indexOf = String.prototype.indexOf;
  var slice = String.prototype.slice;
  var charAt = String.prototype.charAt;

  var encoder = new TextEncoder();
  var encodeInto = TextEncoder.prototype.encodeInto;
  var charCodeAt = String.prototype.charCodeAt;
  var Uint8ArrayType = Uint8Array;

  // Requests longer than this many bytes of UTF-8 never leave the page; the browser
  // refuses them as well (kMaxBridgeRequestBytes in bridge/bridge_router.h, where
  // the reason is). Sent, one would hold up the program's windows while it is
  // carried and parsed.
  var MAX_REQUEST_BYTES = 10 * 1024 * 1024;
  var CANCELED_CODE = -1;
  var CANCELED_MESSAGE = 'The query has been canceled';

  var port = apply(Document.prototype.createElement, document, ['lumio-port']);
  var pending = createObject(null);  // page id -> {onSuccess, onFailure, persistent}
  var nextId = 1;

  // Only a string crosses to the other world: what the page asked in one turn of
  // its event loop, as records
  //   q<id>:<1 or 0 for persistent>:<length of the request>:<request>
  //   c<id>:
  // handed over together once the turn's script has run, or as soon as they come
  // to HAND_OVER_CHARACTERS.
  var HAND_OVER_CHARACTERS = 1024 * 1024;
  var queueTask = window.queueMicrotask;
  var outgoing = '';
  var handOverQueued = false;
  function handOver() {
    handOverQueued = false;
    if (outgoing === '') return;
    var init = createObject(null);
    init.detail = outgoing;
    outgoing = '';
    apply(dispatch, port, [new CustomEventType('lumio-requests', init)]);
  }
  function post(record) {
    outgoing += record;
    if (outgoing.length >= HAND_OVER_CHARACTERS) {
      handOver();
    } else if (!handOverQueued) {
      handOverQueued = true;
      apply(queueTask, window, [handOver]);
    }
  }
  function report(error) {
    apply(setTimer, window, [function () { throw error; }, 0]);
  }

  // A UTF-16 code unit takes at least one byte of UTF-8 and at most three. In
  // between, the text is encoded a piece at a time into one small buffer, which
  // allocates nothing as long as the text. A piece never ends between the two
  // halves of a surrogate pair.
  var PIECE = 16384;
  var pieceBuffer = null;
  function isTooLong(request) {
    if (request.length > MAX_REQUEST_BYTES) return true;
    if (request.length * 3 <= MAX_REQUEST_BYTES) return false;
    if (!pieceBuffer) pieceBuffer = new Uint8ArrayType(PIECE * 3 + 3);
    var bytes = 0;
    for (var start = 0; start < request.length && bytes <= MAX_REQUEST_BYTES;) {
      var end = start + PIECE;
      if (end < request.length) {
        var last = apply(charCodeAt, request, [end - 1]);
        if (last >= 0xd800 && last <= 0xdbff) end++;
      }
      bytes += apply(encodeInto, encoder, [apply(slice, request, [start, end]), pieceBuffer])
                   .written;
      start = end;
    }
    return bytes > MAX_REQUEST_BYTES;
  }

  function answer(id, success, code, text) {
    var entry = pending[id];
    if (!entry) return;
    if (!success || !entry.persistent) delete pending[id];
    var fn = success ? entry.onSuccess : entry.onFailure;
    if (typeof fn !== 'function') return;
    try {
      if (success) apply(fn, undefined, [text]);
      else apply(fn, undefined, [code, text]);
    } catch (e) {
      report(e);
    }
  }
  // Answers, as records "<id>:<1 or 0>:<code>:<length of the text>:<text>".
  apply(listen, port, ['lumio-response', function (event) {
    var records = apply(eventDetail, event, []);
    if (typeof records !== 'string') return;
    for (var at = 0; at < records.length;) {
      var first = apply(indexOf, records, [':', at]);
      var second = apply(indexOf, records, [':', first + 3]);
      var third = apply(indexOf, records, [':', second + 1]);
      if (first < 0 || second < 0 || third < 0) return;
      var end = third + 1 + +apply(slice, records, [second + 1, third]);
      answer(+apply(slice, records, [at, first]), apply(charAt, records, [first + 1]) === '1',
             +apply(slice, records, [first + 3, second]),
             apply(slice, records, [third + 1, end]));
      at = end;
    }
  }]);
  // The bridge takes the port by cancelling the event. An about:blank document gets
  // this script twice (see bridge_script.js); the bridge serves the first port
  // only, so the second copy leaves the first one's functions in place.
  var init = createObject(null);
  init.relatedTarget = port;
  init.cancelable = true;
  if (apply(dispatch, document, [new MouseEvent('lumio-bridge-port', init)])) return;

  window.cefQuery = function (options) {
    var request = options && typeof options === 'object' ? options.request : undefined;
    if (typeof request !== 'string') {
      throw new ErrorType('Invalid arguments; expecting a single object with a string "request"');
    }
    var entry = createObject(null);
    entry.onSuccess = options.onSuccess;
    entry.onFailure = options.onFailure;
    entry.persistent = options.persistent === true;
    var id = nextId++;
    pending[id] = entry;
    if (isTooLong(request)) {
      // Answered later, as the browser answers: the page may still cancel it.
      apply(setTimer, window, [function () {
        answer(id, false, CANCELED_CODE, CANCELED_MESSAGE);
      }, 0]);
      return id;
    }
    post('q' + id + (entry.persistent ? ':1:' : ':0:') + request.length + ':' + request);
    return id;
  };
  window.cefQueryCancel = function (id) {
    if (typeof id !== 'number' || !pending[id]) return;
    delete pending[id];
    post('c' + id + ':');
  };

  // -- fetch() of the program's own files --
  //
  // Chromium's fetch() reaches only the schemes registered for it, and Qt WebEngine
  // before 6.6 cannot register one; XMLHttpRequest has no such rule. So a fetch of
  // app://lumio/ tries the engine's fetch until one succeeds (the engine can, and
  // keeps it from then on) or fails where XHR succeeds (it cannot: every later one
  // goes through XHR). A missing file rejects with a TypeError either way, as the
  // engine's own fetch does for a request its scheme handler fails. Everything else
  // goes to the engine's fetch unchanged.
  var originalFetch = window.fetch;
  var construct = Reflect.construct;
  var defineProperty = Object.defineProperty;
  var PromiseType = Promise;
  var promiseThen = Promise.prototype.then;
  var URLType = URL;
  var urlHref = Object.getOwnPropertyDescriptor(URL.prototype, 'href').get;
  var urlProtocol = Object.getOwnPropertyDescriptor(URL.prototype, 'protocol').get;
  var urlHost = Object.getOwnPropertyDescriptor(URL.prototype, 'host').get;
  var baseURI = Object.getOwnPropertyDescriptor(Node.prototype, 'baseURI').get;
  var requestUrl = Object.getOwnPropertyDescriptor(Request.prototype, 'url').get;
  var requestMethod = Object.getOwnPropertyDescriptor(Request.prototype, 'method').get;
  var requestHeaders = Object.getOwnPropertyDescriptor(Request.prototype, 'headers').get;
  var requestSignal = Object.getOwnPropertyDescriptor(Request.prototype, 'signal').get;
  var requestClone = Request.prototype.clone;
  var requestBody = Request.prototype.arrayBuffer;
  var ResponseType = Response;
  var HeadersType = Headers;
  var headersAppend = Headers.prototype.append;
  var headersForEach = Headers.prototype.forEach;
  var signalAborted = Object.getOwnPropertyDescriptor(AbortSignal.prototype, 'aborted').get;
  var XHRType = XMLHttpRequest;
  var xhrOpen = XMLHttpRequest.prototype.open;
  var xhrSend = XMLHttpRequest.prototype.send;
  var xhrAbort = XMLHttpRequest.prototype.abort;
  var xhrSetHeader = XMLHttpRequest.prototype.setRequestHeader;
  var xhrAllHeaders = XMLHttpRequest.prototype.getAllResponseHeaders;
  var xhrStatus = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'status').get;
  var xhrStatusText = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'statusText').get;
  var xhrResponse = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'response').get;
  var xhrResponseURL = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'responseURL').get;
  var xhrSetResponseType =
      Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'responseType').set;
  var split = String.prototype.split;
  var trim = String.prototype.trim;
  var TypeErrorType = TypeError;
  var DOMExceptionType = DOMException;

  var fetchMode = 'probe';  // then 'engine' or 'xhr'

  // The absolute URL when |input| names a file of ours, else null.
  function ownFileUrl(input) {
    var text;
    try {
      text = apply(requestUrl, input, []);
    } catch (e) {
      text = '' + input;
    }
    try {
      var url = construct(URLType, [text, apply(baseURI, document, [])]);
      if (apply(urlProtocol, url, []) !== 'app:' || apply(urlHost, url, []) !== 'lumio') return null;
      return apply(urlHref, url, []);
    } catch (e) {
      return null;
    }
  }
  function abortError() {
    return construct(DOMExceptionType, ['The user aborted a request.', 'AbortError']);
  }
  function isNullBodyStatus(status) {
    return status === 101 || status === 103 || status === 204 || status === 205 || status === 304;
  }

  // {method, headers: [[name, value]], body, bodyIsPromise, signal} of a fetch call. A
  // Request's body is read from a copy, so that the engine's fetch can still send it.
  function describeRequest(input, init) {
    var isRequest = true;
    try { apply(requestUrl, input, []); } catch (e) { isRequest = false; }
    init = init && typeof init === 'object' ? init : createObject(null);
    var method = init.method !== undefined ? '' + init.method :
                 isRequest ? apply(requestMethod, input, []) : 'GET';
    var headers = construct(HeadersType, init.headers !== undefined ? [init.headers] :
                            isRequest ? [apply(requestHeaders, input, [])] : []);
    var pairs = [];
    apply(headersForEach, headers, [function (value, name) { pairs[pairs.length] = [name, value]; }]);
    var bodyIsPromise = init.body === undefined && isRequest && method !== 'GET' && method !== 'HEAD';
    var body = init.body !== undefined ? init.body :
               bodyIsPromise ? apply(requestBody, apply(requestClone, input, []), []) : null;
    var signal = init.signal !== undefined ? init.signal :
                 isRequest ? apply(requestSignal, input, []) : null;
    return {method: method, headers: pairs, body: body, bodyIsPromise: bodyIsPromise,
            signal: signal || null};
  }

  // Resolves with a Response, or rejects with a TypeError when the request fails
  // and an AbortError when its signal aborts it.
  function fetchThroughXHR(url, request) {
    return construct(PromiseType, [function (resolve, reject) {
      var xhr = construct(XHRType, []);
      var signal = request.signal;
      if (signal && apply(signalAborted, signal, [])) {
        reject(abortError());
        return;
      }
      apply(xhrOpen, xhr, [request.method, url]);
      apply(xhrSetResponseType, xhr, ['arraybuffer']);
      for (var i = 0; i < request.headers.length; i++) {
        apply(xhrSetHeader, xhr, request.headers[i]);
      }
      function onAbort() {
        apply(xhrAbort, xhr, []);
        reject(abortError());
      }
      if (signal) apply(listen, signal, ['abort', onAbort]);
      apply(listen, xhr, ['load', function () {
        var status = apply(xhrStatus, xhr, []);
        var headers = construct(HeadersType, []);
        var lines = apply(split, apply(xhrAllHeaders, xhr, []), ['\r\n']);
        for (var i = 0; i < lines.length; i++) {
          var colon = apply(indexOf, lines[i], [':']);
          if (colon > 0) {
            apply(headersAppend, headers, [apply(slice, lines[i], [0, colon]),
                                           apply(trim, apply(slice, lines[i], [colon + 1]), [])]);
          }
        }
        var init = createObject(null);
        init.status = status;
        init.statusText = apply(xhrStatusText, xhr, []);
        init.headers = headers;
        var response;
        try {
          response = construct(ResponseType, [
            isNullBodyStatus(status) || request.method === 'HEAD' ? null : apply(xhrResponse, xhr, []),
            init]);
        } catch (e) {
          reject(construct(TypeErrorType, ['Failed to fetch']));
          return;
        }
        // A Response made here has no address of its own; the engine's has one.
        defineProperty(response, 'url', {value: apply(xhrResponseURL, xhr, []) || url});
        resolve(response);
      }]);
      apply(listen, xhr, ['error', function () {
        reject(construct(TypeErrorType, ['Failed to fetch']));
      }]);
      function sendBody(body) {
        try {
          apply(xhrSend, xhr, [body]);
        } catch (e) {
          reject(e);
        }
      }
      if (request.bodyIsPromise) {
        apply(promiseThen, request.body, [sendBody, reject]);
      } else {
        sendBody(request.body);
      }
    }]);
  }

  function fetch(input) {
    var url = ownFileUrl(input);
    if (url === null || fetchMode === 'engine') return apply(originalFetch, this, arguments);
    var request;
    try {
      request = describeRequest(input, arguments[1]);
    } catch (e) {
      return apply(originalFetch, this, arguments);
    }
    if (fetchMode === 'xhr') return fetchThroughXHR(url, request);
    var self = this;
    var args = arguments;
    return apply(promiseThen, apply(originalFetch, self, args), [
      function (response) {
        fetchMode = 'engine';
        return response;
      },
      function (error) {
        if (error && error.name === 'AbortError') throw error;
        return apply(promiseThen, fetchThroughXHR(url, request), [function (response) {
          fetchMode = 'xhr';
          return response;
        }]);
      }]);
  }
  window.fetch = fetch;
})();
