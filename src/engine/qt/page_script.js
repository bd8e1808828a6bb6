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
            signal: signal || null, mode: init.mode !== undefined ? '' + init.mode : ''};
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
    if (url === null) {
      var remote = isAppDocument ? webUrl(input) : null;
      if (remote === null) return apply(originalFetch, this, arguments);
      var described;
      try {
        described = describeRequest(input, arguments[1]);
      } catch (e) {
        return apply(originalFetch, this, arguments);
      }
      return apply(promiseThen, apply(originalFetch, this, arguments), [undefined,
        function (error) {
          if ((error && error.name === 'AbortError') || described.mode === 'same-origin') {
            throw error;
          }
          return fetchThroughProgram(remote, described);
        }]);
    }
    if (fetchMode === 'engine') return apply(originalFetch, this, arguments);
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

  // -- requests of the app's own documents to other origins --
  //
  // The engine keeps the web's same-origin rules for every document, so a server
  // that sends no CORS headers refuses the app's request too. The app's own
  // documents may call any server: a cross-origin http(s) request that the engine
  // refused is sent again by the program ("n" records; the browser checks that the
  // document is one of the app's). fetch() and asynchronous XMLHttpRequest do
  // this; the program's requests carry none of the engine's cookies.
  var isAppDocument = String(self.origin) === 'app://lumio';
  var jsonParse = JSON.parse;
  var jsonStringify = JSON.stringify;
  var toBase64 = window.btoa;
  var fromBase64 = window.atob;
  var fromCharCode = String.fromCharCode;
  var subarray = Uint8Array.prototype.subarray;
  var responseBuffer = Response.prototype.arrayBuffer;
  var responseHeaders = Object.getOwnPropertyDescriptor(Response.prototype, 'headers').get;
  var headersGet = Headers.prototype.get;
  var DecoderType = TextDecoder;
  var decode = TextDecoder.prototype.decode;
  var BlobType = Blob;
  var EventType = Event;
  var ProgressEventType = ProgressEvent;
  var WeakMapType = WeakMap;
  var weakGet = WeakMap.prototype.get;
  var weakSet = WeakMap.prototype.set;
  var stopImmediate = Event.prototype.stopImmediatePropagation;
  var toLowerCase = String.prototype.toLowerCase;

  // The absolute address when |input| names an http(s) resource.
  function webUrl(input) {
    var text;
    try {
      text = apply(requestUrl, input, []);
    } catch (e) {
      text = '' + input;
    }
    try {
      var url = construct(URLType, [text, apply(baseURI, document, [])]);
      var protocol = apply(urlProtocol, url, []);
      return protocol === 'http:' || protocol === 'https:' ? apply(urlHref, url, []) : null;
    } catch (e) {
      return null;
    }
  }
  function bytesToBase64(buffer) {
    var bytes = construct(Uint8ArrayType, [buffer]);
    var text = '';
    for (var i = 0; i < bytes.length; i += 0x8000) {
      text += apply(fromCharCode, null, apply(subarray, bytes, [i, i + 0x8000]));
    }
    return apply(toBase64, window, [text]);
  }
  function base64ToBytes(text) {
    var binary = apply(fromBase64, window, [text]);
    var bytes = construct(Uint8ArrayType, [binary.length]);
    for (var i = 0; i < binary.length; i++) bytes[i] = apply(charCodeAt, binary, [i]);
    return bytes.buffer;
  }
  // Resolves with {base64, type} of a request body of any kind fetch() takes.
  function encodeBody(body) {
    if (body === null || body === undefined) return PromiseType.resolve({base64: null, type: null});
    var response = construct(ResponseType, [body]);
    var type = apply(headersGet, apply(responseHeaders, response, []), ['content-type']);
    return apply(promiseThen, apply(responseBuffer, response, []), [function (buffer) {
      return {base64: bytesToBase64(buffer), type: type};
    }]);
  }
  // Has the program send the request; resolves with {status, statusText, url,
  // headers, body (ArrayBuffer)}, rejects with a TypeError when no answer came.
  function programRequest(method, url, headers, body) {
    return apply(promiseThen, encodeBody(body), [function (encoded) {
      var pairs = headers;
      if (encoded.type !== null) {
        var hasType = false;
        for (var i = 0; i < pairs.length; i++) {
          if (apply(toLowerCase, '' + pairs[i][0], []) === 'content-type') hasType = true;
        }
        if (!hasType) pairs[pairs.length] = ['Content-Type', encoded.type];
      }
      var text = apply(jsonStringify, null, [{method: method, url: url, headers: pairs,
                                              body: encoded.base64}]);
      return construct(PromiseType, [function (resolve, reject) {
        var failed = function () { reject(construct(TypeErrorType, ['Failed to fetch'])); };
        if (isTooLong(text)) {
          failed();
          return;
        }
        var entry = createObject(null);
        entry.persistent = false;
        entry.onFailure = failed;
        entry.onSuccess = function (answer) {
          var parsed;
          try {
            parsed = apply(jsonParse, null, [answer]);
            parsed.body = base64ToBytes(parsed.body);
          } catch (e) {
            failed();
            return;
          }
          resolve(parsed);
        };
        var id = nextId++;
        pending[id] = entry;
        post('n' + id + ':0:' + text.length + ':' + text);
      }]);
    }]);
  }

  function fetchThroughProgram(url, request) {
    var body = request.bodyIsPromise ? request.body : PromiseType.resolve(request.body);
    return apply(promiseThen, body, [function (resolved) {
      if (request.signal && apply(signalAborted, request.signal, [])) throw abortError();
      return apply(promiseThen, programRequest(request.method, url, request.headers, resolved),
                   [function (answer) {
        if (request.signal && apply(signalAborted, request.signal, [])) throw abortError();
        var headers = construct(HeadersType, []);
        for (var i = 0; i < answer.headers.length; i++) {
          try { apply(headersAppend, headers, answer.headers[i]); } catch (e) {}
        }
        var init = createObject(null);
        init.status = answer.status;
        init.statusText = answer.statusText;
        init.headers = headers;
        var response;
        try {
          response = construct(ResponseType, [
            isNullBodyStatus(answer.status) || request.method === 'HEAD' ? null : answer.body,
            init]);
        } catch (e) {
          throw construct(TypeErrorType, ['Failed to fetch']);
        }
        defineProperty(response, 'url', {value: answer.url || url});
        return response;
      }]);
    }]);
  }

  // An XMLHttpRequest of ours fails as a network error (state DONE, status 0) in
  // the engine; the page's listeners do not hear of that failure, and hear of the
  // program's answer instead, as if the request had gone through.
  var xhrRequests = construct(WeakMapType, []);  // request -> what it asks
  var ourEvents = construct(WeakMapType, []);
  var xhrReadyState = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'readyState').get;
  var xhrResponseType = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'responseType').get;
  var xhrTimeout = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'timeout').get;
  function described(xhr) {
    return typeof xhr === 'object' && xhr !== null ? apply(weakGet, xhrRequests, [xhr]) : undefined;
  }
  function fire(xhr, type, loaded) {
    var init = createObject(null);
    init.lengthComputable = loaded !== undefined;
    init.loaded = loaded || 0;
    init.total = loaded || 0;
    var event = type === 'readystatechange' ? construct(EventType, [type]) :
                construct(ProgressEventType, [type, init]);
    apply(weakSet, ourEvents, [event, true]);
    apply(dispatch, xhr, [event]);
  }
  function settle(xhr, request, answer) {
    if (request.aborted) return;
    var own = function (name, value) {
      defineProperty(xhr, name, {value: value, configurable: true});
    };
    if (!answer) {
      fire(xhr, 'readystatechange');
      fire(xhr, 'error');
      fire(xhr, 'loadend');
      return;
    }
    var type = apply(xhrResponseType, xhr, []);
    var text = null;
    var response = null;
    if (type === '' || type === 'text' || type === 'json') {
      text = apply(decode, construct(DecoderType, []), [answer.body]);
      if (type === 'json') {
        try { response = apply(jsonParse, null, [text]); } catch (e) { response = null; }
      } else {
        response = text;
      }
    } else if (type === 'arraybuffer') {
      response = answer.body;
    } else if (type === 'blob') {
      var contentType = '';
      for (var i = 0; i < answer.headers.length; i++) {
        if (apply(toLowerCase, answer.headers[i][0], []) === 'content-type') {
          contentType = answer.headers[i][1];
        }
      }
      response = construct(BlobType, [[answer.body], {type: contentType}]);
    }
    var lines = '';
    for (var j = 0; j < answer.headers.length; j++) {
      lines += apply(toLowerCase, answer.headers[j][0], []) + ': ' + answer.headers[j][1] + '\r\n';
    }
    own('readyState', 4);
    own('status', answer.status);
    own('statusText', answer.statusText);
    own('responseURL', answer.url || request.url);
    own('response', response);
    if (type === '' || type === 'text') own('responseText', text);
    own('getAllResponseHeaders', function () { return lines; });
    own('getResponseHeader', function (name) {
      var wanted = apply(toLowerCase, '' + name, []);
      var found = null;
      for (var k = 0; k < answer.headers.length; k++) {
        if (apply(toLowerCase, answer.headers[k][0], []) === wanted) {
          found = found === null ? answer.headers[k][1] : found + ', ' + answer.headers[k][1];
        }
      }
      return found;
    });
    fire(xhr, 'readystatechange');
    fire(xhr, 'load', answer.body.byteLength);
    fire(xhr, 'loadend', answer.body.byteLength);
  }
  function guard(event) {
    var xhr = this;
    var request = described(xhr);
    if (!request || !request.url || apply(weakGet, ourEvents, [event])) return;
    if (request.takenOver) {
      apply(stopImmediate, event, []);
      return;
    }
    if (request.aborted || apply(xhrReadyState, xhr, []) !== 4 || apply(xhrStatus, xhr, []) !== 0) {
      return;
    }
    request.takenOver = true;
    apply(stopImmediate, event, []);
    apply(promiseThen, programRequest(request.method, request.url, request.headers, request.body),
          [function (answer) { settle(xhr, request, answer); },
           function () { settle(xhr, request, null); }]);
  }
  if (isAppDocument) {
    var XHRPrototype = XMLHttpRequest.prototype;
    var LumioXMLHttpRequest = function XMLHttpRequest() {
      var xhr = construct(XHRType, [], new.target || XHRType);
      // First of all listeners, so that a failure can be kept from the page's.
      var types = ['readystatechange', 'error', 'load', 'loadend', 'timeout'];
      for (var i = 0; i < types.length; i++) apply(listen, xhr, [types[i], guard]);
      apply(weakSet, xhrRequests, [xhr, createObject(null)]);
      return xhr;
    };
    LumioXMLHttpRequest.prototype = XHRPrototype;
    defineProperty(XHRPrototype, 'constructor', {value: LumioXMLHttpRequest, writable: true,
                                                 configurable: true});
    var constants = ['UNSENT', 'OPENED', 'HEADERS_RECEIVED', 'LOADING', 'DONE'];
    for (var c = 0; c < constants.length; c++) {
      defineProperty(LumioXMLHttpRequest, constants[c], {value: c});
    }
    XHRPrototype.open = function (method, url) {
      var request = described(this);
      if (request) {
        request.url = arguments.length > 2 && arguments[2] === false ? null : webUrl(url);
        request.method = '' + method;
        request.headers = [];
        request.body = null;
        request.aborted = false;
        request.takenOver = false;
      }
      return apply(xhrOpen, this, arguments);
    };
    XHRPrototype.setRequestHeader = function (name, value) {
      var request = described(this);
      if (request && request.headers) request.headers[request.headers.length] = ['' + name, '' + value];
      return apply(xhrSetHeader, this, arguments);
    };
    XHRPrototype.send = function (body) {
      var request = described(this);
      if (request) {
        request.body = body === undefined ? null : body;
        // A page that set its own time limit hears of the engine's outcome.
        if (apply(xhrTimeout, this, []) > 0) request.url = null;
      }
      return apply(xhrSend, this, arguments);
    };
    XHRPrototype.abort = function () {
      var request = described(this);
      if (request) request.aborted = true;
      return apply(xhrAbort, this, arguments);
    };
    window.XMLHttpRequest = LumioXMLHttpRequest;
  }
})();
